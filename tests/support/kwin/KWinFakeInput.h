// Keys, pointer motion and the left button for tests on KWin, through its fake-input protocol
// (offered to any client only with KWIN_WAYLAND_NO_PERMISSION_CHECKS, a test setting): exact
// sequences, one Wayland round trip each, so KWin has handled a key before the call returns.
#pragma once

#include <cstdint>
#include <string>

struct wl_display;
struct wl_registry;
struct org_kde_kwin_fake_input;

namespace halvo::test {

class KWinFakeInput {
public:
    // Linux key codes (input-event-codes.h).
    static constexpr std::uint32_t leftCtrl = 29, leftAlt = 56, left = 105, right = 106, up = 103,
                                   down = 108;

    // Connects to the compositor at `waylandDisplay` (an absolute socket path).
    explicit KWinFakeInput(const std::string& waylandDisplay);
    ~KWinFakeInput();
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;

    bool ok() const { return m_input != nullptr; }

    void press(std::uint32_t key);
    void release(std::uint32_t key);
    void tap(std::uint32_t key);
    // Moves the pointer to a point of the layout.
    void movePointer(double x, double y);
    // Presses or releases the left button.
    void leftButton(bool pressed);

private:
    void key(std::uint32_t code, bool pressed);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    org_kde_kwin_fake_input* m_input = nullptr;
};

} // namespace halvo::test
