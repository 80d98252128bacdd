// The halvo program in a private headless GNOME Shell (two monitors side by side), with foot
// terminals as its apps and keys typed through mutter's remote desktop interface; what a test reads
// back comes from the extension's window list.
#pragma once

#include "support/GnomeShellSession.h"
#include "support/HalvoProgram.h"

#include <memory>
#include <string>
#include <vector>

namespace halvo::test {

class GnomeHalvo {
public:
    explicit GnomeHalvo(GnomeShellSession::Options options = {});
    ~GnomeHalvo();

    GnomeShellSession& session() { return m_session; }
    // The order Halvo finds stored when it starts (app ids).
    void storeOrder(const std::vector<std::string>& appIDs);
    // The order stored now; empty when the settings file holds none.
    std::vector<std::string> storedOrder() const;
    // A terminal with app id `appID` on monitor `monitor` (0 or 1), its frame (100, 100, 600, 400)
    // of that monitor: mutter's own placement and foot's size differ between GNOME versions.
    bool startApp(const std::string& appID, int monitor);
    // Starts the program; true once its four arrows are grabbed (at once without waiting).
    bool startHalvo(bool waitForShortcut = true);
    HalvoProgram& halvo() { return *m_halvo; }

    std::string focusedApp() const { return m_session.focusedApp(); }
    int monitorOf(const std::string& appID) const;
    bool isFullScreen(const std::string& appID) const;

    static bool waitUntil(const std::function<bool()>& pred, double seconds = 10.0) {
        return GnomeShellSession::waitUntil(pred, seconds);
    }

private:
    // Moves a window as Halvo would: the extension takes changes from the owner of Halvo's name
    // only, so the test holds that name for the move (before Halvo starts).
    bool place(std::uint64_t window, int x, int y);

    GnomeShellSession m_session;
    std::string m_configHome;
    std::unique_ptr<HalvoProgram> m_halvo;
};

} // namespace halvo::test
