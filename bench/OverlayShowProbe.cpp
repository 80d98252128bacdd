// Probe: time from show() to the overlay's first painted frame with 25 and 200 apps, the cost of
// the backdrop capture, and whether any timer is left running while the overlay is idle. With
// --screenshots DIR it also saves pictures of the overlay (light, dark, overflow, bubble, drag).
#include "minimap/MinimapPanelController.h"
#include "minimap/view/MinimapOverlayView.h"
#include "minimap/view/OverlayPanel.h"
#include "platform/sim/SimScreens.h"
#include "support/XvfbSession.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace halvo;
using halvo::test::XvfbSession;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool pump(const std::function<bool()>& pred, double seconds = 5) {
    return XvfbSession::waitUntil(
        [&] {
            QApplication::processEvents();
            return pred();
        },
        seconds);
}

void settle(double seconds) {
    pump([] { return false; }, seconds);
}

AppIconRef pixelIcon(int hue) {
    auto icon = std::make_shared<AppIcon>();
    icon->width = icon->height = 64;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const bool inside = std::hypot(x - 31.5, y - 31.5) < 30;
            const QColor colour = QColor::fromHsv(hue, 160, 230 - y);
            icon->pixels.push_back(inside ? (0xff000000u | (colour.rgb() & 0xffffffu)) : 0u);
        }
    }
    return icon;
}

std::vector<TrackedApp> makeApps(int n) {
    static const std::vector<std::pair<std::string, std::string>> named = {
        {"Terminal", "xterm"},  {"Vim", "gvim"}, {"Image Viewer", "display-im6.q16"},
        {"Java", "openjdk-17"}, {"Files", ""},   {"Mail", ""},
        {"Calendar", ""}};
    std::vector<TrackedApp> apps;
    for (int i = 0; i < n; ++i) {
        const std::string id = "app." + std::to_string(i);
        TrackedApp app{id, id, "App " + std::to_string(i), 100 + i, nullptr};
        if (i < static_cast<int>(named.size())) {
            app.name = named[static_cast<std::size_t>(i)].first;
            auto icon = std::make_shared<AppIcon>();
            icon->themeName = named[static_cast<std::size_t>(i)].second;
            app.icon = icon->themeName.empty() ? pixelIcon((i * 47) % 360) : icon;
        } else if (i % 3 != 0) {
            app.icon = pixelIcon((i * 37) % 360);
        }
        apps.push_back(app);
    }
    return apps;
}

void measureShow(const Screens& screens, int appCount) {
    MinimapPanelController controller(screens, OverlayPanel::factory());
    controller.model().apps = makeApps(appCount);
    controller.model().highlightedBundleID = std::string("app.3");

    bool painted = false;
    auto first = Clock::now();
    controller.show();
    auto* panel = static_cast<OverlayPanel*>(controller.panel());
    panel->view()->onPainted = [&] { painted = true; };
    pump([&] { return painted; });
    const double firstShow = millisecondsSince(first);
    controller.hide();
    settle(0.05);

    std::vector<double> samples;
    for (int i = 0; i < 100; ++i) {
        painted = false;
        const auto start = Clock::now();
        controller.show();
        pump([&] { return painted; });
        samples.push_back(millisecondsSince(start));
        controller.hide();
        QApplication::processEvents();
    }
    std::sort(samples.begin(), samples.end());

    std::vector<double> captures;
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        panel->captureBlurredBackdrop(panel->rootGeometry());
        captures.push_back(millisecondsSince(start));
    }
    std::sort(captures.begin(), captures.end());

    controller.show();
    settle(0.6); // fade and scroll finish
    const auto timers =
        QAbstractEventDispatcher::instance()->registeredTimers(panel->view()).size();
    std::printf("%3d apps: panel %4dx%d, first show (builds the panel) %.2f ms; show() to first "
                "paint median %.2f ms, p90 %.2f ms, max %.2f ms (n=100); backdrop capture+blur "
                "median %.2f ms; timers on the idle view: %zu, wiggle running: %s\n",
                appCount, panel->rootGeometry().width(), panel->rootGeometry().height(), firstShow,
                samples[50], samples[90], samples.back(), captures[25],
                static_cast<std::size_t>(timers), panel->view()->isWiggleRunning() ? "yes" : "no");
    controller.hide();
}

void screenshots(XvfbSession& session, const Screens& screens, const std::string& dir) {
    session.run("xsetroot -mod 12 12 -fg '#6d8fb8' -bg '#2f4d73'");
    auto shoot = [&](OverlayPanel* panel, const std::string& name) {
        const QRect g = panel->rootGeometry().adjusted(-16, -8, 16, 8);
        session.run("import -window root -crop " + std::to_string(g.width()) + "x" +
                    std::to_string(g.height()) + "+" + std::to_string(g.x()) + "+" +
                    std::to_string(g.y()) + " " + dir + "/" + name + ".png");
    };
    auto pointer = [&](QPoint p, const std::string& extra = {}) {
        session.run("xdotool mousemove " + std::to_string(p.x()) + " " + std::to_string(p.y()) +
                    " " + extra);
        settle(0.25);
    };
    for (Theme theme : {Theme::light, Theme::dark}) {
        MinimapPanelController controller(screens, OverlayPanel::factory());
        controller.setTheme(theme);
        const std::string suffix = theme == Theme::dark ? "dark" : "light";
        controller.model().apps = makeApps(3);
        controller.model().highlightedBundleID = std::string("app.1");
        controller.show();
        auto* panel = static_cast<OverlayPanel*>(controller.panel());
        auto centre = [&](int i) {
            return panel->rootGeometry().topLeft() +
                   panel->view()->cellRect("app." + std::to_string(i))->center().toPoint();
        };
        pointer({5, 5});
        shoot(panel, "overlay-3-apps-" + suffix);
        pointer(centre(2));
        shoot(panel, "overlay-bubble-" + suffix);
        controller.hide();

        controller.model().apps = makeApps(7);
        controller.show();
        pointer(centre(2), "mousedown 1");
        pointer(centre(2) + QPoint(40, -3));
        shoot(panel, "overlay-drag-" + suffix);
        session.run("xdotool mouseup 1");
        controller.hide();

        controller.model().apps = makeApps(25);
        controller.model().highlightedBundleID = std::string("app.12");
        controller.show();
        pointer({5, 5});
        shoot(panel, "overlay-25-apps-" + suffix);
        controller.hide();
        settle(0.1);
    }
    std::printf("screenshots saved in %s\n", dir.c_str());
}

} // namespace

int main(int argc, char** argv) {
    setenv("GSETTINGS_BACKEND", "memory", 1);
    XvfbSession::Options options;
    options.width = 2880;
    options.height = 1024;
    XvfbSession session(options);
    if (!session.ok()) {
        std::fprintf(stderr, "no X server: %s\n", session.error().c_str());
        return 1;
    }
    QApplication app(argc, argv);
    SimScreens screens;
    screens.addScreen({0, 0, 1440, 1024}, {0, 0, 1440, 1024}, "LEFT");
    screens.addScreen({1440, 0, 1440, 1024}, {1440, 0, 1440, 1024}, "RIGHT");
    screens.setMouseLocation({700, 500});

    if (argc > 2 && std::strcmp(argv[1], "--screenshots") == 0) {
        screenshots(session, screens, argv[2]);
        return 0;
    }
    measureShow(screens, 25);
    measureShow(screens, 200);
    return 0;
}
