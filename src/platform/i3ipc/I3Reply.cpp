// Reading i3's JSON replies with nlohmann-json, see I3Reply.h.
#include "platform/i3ipc/I3Reply.h"

#include "platform/i3ipc/I3IpcError.h"

#include <algorithm>
#include <climits>
#include <nlohmann/json.hpp>

namespace halvo {
namespace {

using nlohmann::json;

json parse(std::string_view text) {
    // The callback sees the nesting depth while parsing, so a hostile reply cannot make the
    // reading of the tree recurse without bound.
    const json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
        if (depth > I3Reply::maxDepth)
            throw I3IpcError("i3 IPC reply nested deeper than " +
                             std::to_string(I3Reply::maxDepth));
        return true;
    };
    try {
        return json::parse(text.begin(), text.end(), limitDepth);
    } catch (const json::exception& error) {
        throw I3IpcError(std::string("i3 IPC reply is not JSON: ") + error.what());
    }
}

const json& member(const json& object, const char* key) {
    static const json null;
    if (!object.is_object())
        throw I3IpcError(std::string("i3 IPC reply: expected an object holding \"") + key + "\"");
    const auto found = object.find(key);
    return found == object.end() ? null : *found;
}

std::string text(const json& object, const char* key) {
    const json& value = member(object, key);
    if (value.is_null())
        return {};
    if (!value.is_string())
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is not a string");
    return value.get<std::string>();
}

double number(const json& object, const char* key) {
    const json& value = member(object, key);
    if (!value.is_number())
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is not a number");
    return value.get<double>();
}

Rect rect(const json& object) {
    const json& value = member(object, "rect");
    if (value.is_null())
        return {};
    return {number(value, "x"), number(value, "y"), number(value, "width"),
            number(value, "height")};
}

bool flag(const json& object, const char* key) {
    const json& value = member(object, key);
    if (value.is_null())
        return false;
    if (!value.is_boolean())
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is not a boolean");
    return value.get<bool>();
}

// An integer field that may be absent (0); anything else out of `int`'s range is an error.
std::int64_t integer(const json& object, const char* key, std::int64_t low, std::int64_t high) {
    const json& value = member(object, key);
    if (value.is_null())
        return 0;
    if (!value.is_number_integer())
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is not an integer");
    if (value.is_number_unsigned()
            ? value.get<std::uint64_t>() > std::uint64_t(high)
            : value.get<std::int64_t>() < low || value.get<std::int64_t>() > high)
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is out of range");
    return value.get<std::int64_t>();
}

const json& list(const json& object, const char* key) {
    static const json empty = json::array();
    const json& value = member(object, key);
    if (value.is_null())
        return empty;
    if (!value.is_array())
        throw I3IpcError(std::string("i3 IPC reply: \"") + key + "\" is not a list");
    return value;
}

I3Node node(const json& object, bool floating) {
    I3Node result;
    const json& id = member(object, "id");
    if (!id.is_number_integer())
        throw I3IpcError("i3 IPC reply: a container without an integer \"id\"");
    result.id = id.get<std::int64_t>();
    result.type = text(object, "type");
    result.name = text(object, "name");
    const json& window = member(object, "window");
    if (window.is_number_unsigned() && window.get<std::uint64_t>() <= UINT32_MAX)
        result.window = window.get<std::uint32_t>();
    else if (!window.is_null())
        throw I3IpcError("i3 IPC reply: \"window\" is not an X11 window");
    result.floating = floating;
    result.rect = rect(object);
    if (const json& deco = member(object, "deco_rect"); !deco.is_null())
        result.titleHeight = std::max(0.0, number(deco, "height"));
    result.appId = text(object, "app_id");
    if (const json& properties = member(object, "window_properties"); !properties.is_null()) {
        result.windowClass = text(properties, "class");
        result.windowInstance = text(properties, "instance");
        result.windowType = text(properties, "window_type");
    }
    result.shell = text(object, "shell");
    result.pid = static_cast<std::int32_t>(integer(object, "pid", INT32_MIN, INT32_MAX));
    result.focused = flag(object, "focused");
    result.fullScreenMode = static_cast<int>(integer(object, "fullscreen_mode", 0, 2));
    result.currentWorkspace = text(object, "current_workspace");
    for (const json& focusedID : list(object, "focus")) {
        if (!focusedID.is_number_integer())
            throw I3IpcError("i3 IPC reply: a \"focus\" entry is not a container id");
        result.focusOrder.push_back(focusedID.get<std::int64_t>());
    }
    // A floating container's window floats too.
    for (const json& child : list(object, "nodes"))
        result.children.push_back(node(child, floating));
    for (const json& child : list(object, "floating_nodes"))
        result.children.push_back(node(child, true));
    return result;
}

} // namespace

I3Node I3Reply::tree(std::string_view json) {
    return node(parse(json), false);
}

std::vector<I3Output> I3Reply::outputs(std::string_view json) {
    const nlohmann::json reply = parse(json);
    if (!reply.is_array())
        throw I3IpcError("i3 IPC reply: the outputs are not a list");
    std::vector<I3Output> result;
    for (const nlohmann::json& object : reply) {
        I3Output output;
        output.name = text(object, "name");
        const nlohmann::json& active = member(object, "active");
        output.active = active.is_boolean() && active.get<bool>();
        output.focused = flag(object, "focused");
        output.rect = rect(object);
        output.currentWorkspace = text(object, "current_workspace");
        result.push_back(std::move(output));
    }
    return result;
}

std::vector<I3Workspace> I3Reply::workspaces(std::string_view json) {
    const nlohmann::json reply = parse(json);
    if (!reply.is_array())
        throw I3IpcError("i3 IPC reply: the workspaces are not a list");
    std::vector<I3Workspace> result;
    for (const nlohmann::json& object : reply) {
        I3Workspace workspace;
        workspace.name = text(object, "name");
        workspace.output = text(object, "output");
        workspace.visible = flag(object, "visible");
        workspace.focused = flag(object, "focused");
        workspace.rect = rect(object);
        result.push_back(std::move(workspace));
    }
    return result;
}

std::vector<I3CommandResult> I3Reply::commands(std::string_view json) {
    const nlohmann::json reply = parse(json);
    if (!reply.is_array())
        throw I3IpcError("i3 IPC reply: the command results are not a list");
    std::vector<I3CommandResult> result;
    for (const nlohmann::json& object : reply) {
        const nlohmann::json& success = member(object, "success");
        if (!success.is_boolean())
            throw I3IpcError("i3 IPC reply: a command result without \"success\"");
        result.push_back({success.get<bool>(), text(object, "error")});
    }
    return result;
}

bool I3Reply::success(std::string_view json) {
    const nlohmann::json reply = parse(json);
    const nlohmann::json& value = member(reply, "success");
    if (!value.is_boolean())
        throw I3IpcError("i3 IPC reply without \"success\"");
    return value.get<bool>();
}

} // namespace halvo
