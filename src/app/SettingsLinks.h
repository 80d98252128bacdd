// Where the user is sent to fix a missing permission: for each, a primary address and a fallback
// that is tried only when the primary cannot be opened.
#pragma once

#include <functional>
#include <string>

namespace halvo {

class SettingsLinks {
public:
    // Hands a URL to the desktop's opener; true when it was opened.
    using Opener = std::function<bool(const std::string& url)>;

    struct Pane {
        std::string primary;
        std::string fallback;
    };

    // `helpPage` is the path of the installed help page that explains both permissions; empty
    // when it is not known.
    explicit SettingsLinks(std::string helpPage);

    // The help for a missing window manager and for missing keyboard access: the local help page
    // first, then the documents online.
    Pane windowManagerPane() const;
    Pane keyboardAccessPane() const;

    // Opens the primary address; only when it is not a URL or the opener refuses it, the fallback
    // (whose answer is ignored). Nothing happens when neither is a URL.
    static void openSettingsPane(const std::string& primary, const std::string& fallback,
                                 const Opener& opener);

    // Whether the text has the form of an absolute URL: a scheme, a colon, and something after it.
    static bool isURL(const std::string& text);

private:
    std::string fileURL(const std::string& fragment) const;

    std::string m_helpPage;
};

} // namespace halvo
