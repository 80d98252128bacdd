// Elements, values and status codes of the accessibility interface through which Halvo reaches
// other applications' windows.
#pragma once

#include "platform/Geometry.h"
#include "platform/RunningApplication.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace halvo {

using AXError = std::int32_t;

// Callers test for success only; the others say why, for logs and tests.
inline constexpr AXError kAXErrorSuccess = 0;
inline constexpr AXError kAXErrorFailure = -25200;
inline constexpr AXError kAXErrorIllegalArgument = -25201;
inline constexpr AXError kAXErrorInvalidUIElement = -25202;
inline constexpr AXError kAXErrorCannotComplete = -25204;
inline constexpr AXError kAXErrorAttributeUnsupported = -25205;
inline constexpr AXError kAXErrorActionUnsupported = -25206;
inline constexpr AXError kAXErrorAPIDisabled = -25211;
inline constexpr AXError kAXErrorNoValue = -25212;

// An opaque reference to an application (made from a process identifier) or one of its windows.
struct AXElement {
    enum class Kind { application, window };
    Kind kind = Kind::application;
    ProcessID pid = 0;
    std::uint64_t window = 0; // the window's platform id; 0 for an application element

    bool operator==(const AXElement&) const = default;
};

// A value that is present but of a kind the callers do not use (a number, a URL...).
struct AXOtherValue {
    bool operator==(const AXOtherValue&) const = default;
};

// What an attribute holds: a string (role, subrole), a boolean, an element, a list of elements,
// a point or a size. std::monostate is "no value".
using AXValue = std::variant<std::monostate, std::string, bool, AXElement, std::vector<AXElement>,
                             Point, Size, AXOtherValue>;

// Attribute, action, role and subrole names.
namespace ax {
inline constexpr const char* mainWindow = "AXMainWindow";
inline constexpr const char* windows = "AXWindows";
inline constexpr const char* minimized = "AXMinimized";
inline constexpr const char* focusedWindow = "AXFocusedWindow";
inline constexpr const char* role = "AXRole";
inline constexpr const char* subrole = "AXSubrole";
inline constexpr const char* fullScreen = "AXFullScreen";
inline constexpr const char* position = "AXPosition";
inline constexpr const char* size = "AXSize";
inline constexpr const char* main = "AXMain";
inline constexpr const char* raise = "AXRaise";
inline constexpr const char* windowRole = "AXWindow";
inline constexpr const char* standardWindowSubrole = "AXStandardWindow";
inline constexpr const char* dialogSubrole = "AXDialog";
inline constexpr const char* desktopSubrole = "AXDesktop";
} // namespace ax

} // namespace halvo
