// Opening the permission help: primary first, fallback only when needed.
#include "app/SettingsLinks.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace halvo {
namespace {

struct RecordingOpener {
    std::vector<std::string> opened;
    bool accept = true;
    SettingsLinks::Opener opener() {
        return [this](const std::string& url) {
            opened.push_back(url);
            return accept;
        };
    }
};

TEST(SettingsLinksTest, PrimaryThatOpensIsTheOnlyOneTried) {
    RecordingOpener rec;
    SettingsLinks::openSettingsPane("file:///a#x", "https://b", rec.opener());
    EXPECT_EQ(rec.opened, (std::vector<std::string>{"file:///a#x"}));
}

TEST(SettingsLinksTest, RefusedPrimaryFallsBackAndIgnoresTheFallbacksAnswer) {
    RecordingOpener rec;
    rec.accept = false;
    SettingsLinks::openSettingsPane("file:///a#x", "https://b", rec.opener());
    EXPECT_EQ(rec.opened, (std::vector<std::string>{"file:///a#x", "https://b"}));
}

TEST(SettingsLinksTest, PrimaryThatIsNoURLIsSkipped) {
    RecordingOpener rec;
    SettingsLinks::openSettingsPane("", "https://b", rec.opener());
    SettingsLinks::openSettingsPane("not a url", "also not", rec.opener());
    EXPECT_EQ(rec.opened, (std::vector<std::string>{"https://b"}));
}

TEST(SettingsLinksTest, URLForm) {
    EXPECT_TRUE(SettingsLinks::isURL("file:///usr/share/halvo/permissions.html#window-manager"));
    EXPECT_TRUE(SettingsLinks::isURL("x-apple.systempreferences:com.apple.preference.security"));
    EXPECT_FALSE(SettingsLinks::isURL("/usr/share/halvo"));
    EXPECT_FALSE(SettingsLinks::isURL("1http://x"));
    EXPECT_FALSE(SettingsLinks::isURL("http:"));
    EXPECT_FALSE(SettingsLinks::isURL("http://a b"));
}

TEST(SettingsLinksTest, PanesPointIntoTheHelpPageAndFallBackOnline) {
    const SettingsLinks links("/opt/Halvo Apps/share/halvo/permissions.html");
    EXPECT_EQ(links.windowManagerPane().primary,
              "file:///opt/Halvo%20Apps/share/halvo/permissions.html#window-manager");
    EXPECT_EQ(links.keyboardAccessPane().primary,
              "file:///opt/Halvo%20Apps/share/halvo/permissions.html#keyboard-access");
    EXPECT_TRUE(SettingsLinks::isURL(links.windowManagerPane().fallback));
    EXPECT_TRUE(SettingsLinks::isURL(links.keyboardAccessPane().fallback));

    // Without a help page the primary is no URL, so the online page is opened directly.
    const SettingsLinks noHelp("");
    RecordingOpener rec;
    const auto pane = noHelp.windowManagerPane();
    SettingsLinks::openSettingsPane(pane.primary, pane.fallback, rec.opener());
    EXPECT_EQ(rec.opened, (std::vector<std::string>{pane.fallback}));
}

} // namespace
} // namespace halvo
