// The script's source. It is written once for KWin 5.27 and KWin 6 by testing for the API each
// has: windowList/activeWindow/window* signals (6) or clientList/activeClient/client* (5.27).
// Commands reach it by long poll: it calls Halvo's poll(result) with the previous command's
// result, and Halvo answers when it has the next command (or with nothing, to keep the loop
// going). A call that KWin gets an error for never calls back, so Halvo answers every poll.
#include "platform/kwin/KWinScriptText.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace halvo {
namespace {

const char* const source = R"JS(
var halvoService = "@SERVICE@";
var halvoPid = @PID@;
var halvoInterface = "@INTERFACE@";
var halvoPath = "@PATH@";
var maxWindows = 256;

var plasma6 = typeof workspace.windowList === "function";
function allWindows() { return plasma6 ? workspace.windowList() : workspace.clientList(); }
function activeWindow() { return plasma6 ? workspace.activeWindow : workspace.activeClient; }
function setActiveWindow(w) {
    if (plasma6) workspace.activeWindow = w; else workspace.activeClient = w;
}
function onWorkspace(name6, name5, handler) {
    var signal = workspace[plasma6 ? name6 : name5];
    if (signal) signal.connect(handler);
}

var ids = {};
var nextId = 1;
function idOf(w) {
    var key = String(w.internalId);
    if (!(key in ids)) ids[key] = nextId++;
    return ids[key];
}

// Managed windows of other processes: KWin lists layer surfaces too, Halvo's own among them.
function listed(w) {
    return w && w.managed && !w.deleted && w.pid !== halvoPid && !w.desktopWindow && !w.dock
        && !w.specialWindow;
}
function kindOf(w) {
    if (w.normalWindow) return "normal";
    if (w.dialog) return "dialog";
    return "other";
}
function text(value) { return String(value || "").substring(0, 256); }
function rect(r) {
    return {x: Math.round(r.x), y: Math.round(r.y), w: Math.round(r.width), h: Math.round(r.height)};
}
function describe(w) {
    return {id: idOf(w), pid: w.pid, app: text(w.resourceClass), desktop: text(w.desktopFileName),
        kind: kindOf(w), frame: rect(w.frameGeometry), minimized: !!w.minimized,
        fullScreen: !!w.fullScreen, canFullScreen: !!w.fullScreenable, canMove: !!w.moveable,
        canResize: !!w.resizeable, stack: w.stackingOrder || 0};
}
function screens() {
    var outputs = plasma6 ? workspace.screens : [];
    if (!plasma6) for (var i = 0; i < workspace.numScreens; ++i) outputs.push(i);
    var desktop = workspace.currentDesktop;
    return outputs.map(function(output) {
        return {frame: rect(workspace.clientArea(KWin.ScreenArea, output, desktop)),
            visible: rect(workspace.clientArea(KWin.MaximizeArea, output, desktop))};
    });
}
// KWin makes Halvo's own keyboard surface its active window while Halvo holds the keyboard; the
// window that had it before, and gets it back, stays the active one for Halvo.
var lastActive = null;
function frontWindow() {
    var active = activeWindow();
    if (listed(active)) lastActive = active;
    else if (active && active.pid !== halvoPid) lastActive = null;
    return listed(lastActive) ? lastActive : null;
}
function state() {
    var windows = allWindows().filter(listed).slice(0, maxWindows).map(describe);
    var active = frontWindow();
    var cursor = workspace.cursorPos;
    return {windows: windows, active: listed(active) ? idOf(active) : 0, screens: screens(),
        cursor: {x: Math.round(cursor.x), y: Math.round(cursor.y)}};
}
function find(id) {
    var windows = allWindows();
    for (var i = 0; i < windows.length; ++i)
        if (listed(windows[i]) && idOf(windows[i]) === id) return windows[i];
    return null;
}

function run(command) {
    if (command.op === "state") return {result: "ok"};
    var w = find(command.window);
    if (!w) return {result: "gone"};
    if (command.op === "activate") {
        if (w.minimized) w.minimized = false;
        halvoChoice = w;
        setActiveWindow(w);
        return {result: frontWindow() === w ? "ok" : "refused"};
    }
    if (command.op === "raise") {
        // KWin 5.27 offers scripts no raise of its own; activating a window raises it.
        if (typeof workspace.raiseWindow === "function") workspace.raiseWindow(w);
        else setActiveWindow(w);
        return {result: "ok"};
    }
    if (command.op === "minimize") { w.minimized = !!command.value; return {result: "ok"}; }
    if (command.op === "fullScreen") { w.fullScreen = !!command.value; return {result: "ok"}; }
    if (command.op === "frame") {
        var f = command.frame;
        w.frameGeometry = {x: f.x, y: f.y, width: f.w, height: f.h};
        return {result: "ok"};
    }
    return {result: "unknown"};
}

function answer(reply) {
    if (!reply) return "";
    var command = JSON.parse(reply);
    var outcome;
    try { outcome = run(command); } catch (e) { outcome = {result: "failed", error: text(e)}; }
    outcome.id = command.id;
    outcome.state = state();
    return JSON.stringify(outcome);
}
function poll(result) {
    callDBus(halvoService, halvoPath, halvoInterface, "poll", result, function(reply) {
        var next = "";
        try { next = answer(reply); } catch (e) { print("halvo: " + e); }
        poll(next);
    });
}
function report() {
    callDBus(halvoService, halvoPath, halvoInterface, "report", JSON.stringify(state()));
}
function watch(w) {
    if (w.minimizedChanged) w.minimizedChanged.connect(report);
    if (w.fullScreenChanged) w.fullScreenChanged.connect(report);
}

// While Halvo's keyboard surface is the active window the switch goes on; when it closes, KWin 6
// hands the keyboard to a window of its own choosing (the last one on another output), not the
// one the switch's last step activated: that one gets it back.
var halvoChoice = null;
var halvoHolds = false;
function activated(w) {
    if (w && w.pid === halvoPid) {
        halvoHolds = true;
        return;
    }
    if (w && halvoHolds && listed(halvoChoice) && w !== halvoChoice) {
        halvoHolds = false;
        setActiveWindow(halvoChoice);
        return;
    }
    if (w) halvoHolds = false;
    report();
}

allWindows().forEach(watch);
onWorkspace("windowAdded", "clientAdded", function(w) { watch(w); report(); });
onWorkspace("windowRemoved", "clientRemoved", report);
onWorkspace("windowActivated", "clientActivated", activated);
onWorkspace("screensChanged", "numberScreensChanged", report);
report();
poll("");
)JS";

void replace(std::string& text, const std::string& placeholder, const std::string& value) {
    for (auto at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

// ":1.42": the only form of name written into the script.
bool isUniqueName(const std::string& name) {
    return name.size() > 1 && name.size() < 64 && name[0] == ':' &&
           std::all_of(name.begin() + 1, name.end(),
                       [](unsigned char c) { return std::isdigit(c) || c == '.'; });
}

} // namespace

std::string KWinScriptText::forService(const std::string& service, pid_t ownPid) {
    if (!isUniqueName(service))
        throw std::invalid_argument("not a unique bus name: " + service);
    std::string text = source;
    replace(text, "@SERVICE@", service);
    replace(text, "@PID@", std::to_string(ownPid));
    replace(text, "@INTERFACE@", interfaceName);
    replace(text, "@PATH@", objectPath);
    return text;
}

} // namespace halvo
