// Defensive readers of window-property replies: a reply of the wrong format or a truncated value
// reads as empty, never as garbage.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include <xcb/xcb.h>

namespace halvo {

class X11Property {
public:
    struct FreeDeleter {
        void operator()(void* pointer) const { std::free(pointer); }
    };
    using Reply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

    static xcb_get_property_cookie_t request(xcb_connection_t* c, xcb_window_t window,
                                             xcb_atom_t property, xcb_atom_t type,
                                             std::uint32_t longLength = 64) {
        return xcb_get_property(c, 0, window, property, type, 0, longLength);
    }

    // The reply, or nothing; `windowGone` is set when the server said the window does not exist.
    static Reply receive(xcb_connection_t* c, xcb_get_property_cookie_t cookie,
                         bool* windowGone = nullptr) {
        xcb_generic_error_t* error = nullptr;
        Reply reply(xcb_get_property_reply(c, cookie, &error));
        if (error) {
            if (windowGone && error->error_code == XCB_WINDOW)
                *windowGone = true;
            std::free(error);
            return nullptr;
        }
        return reply;
    }

    // 32-bit items (CARDINAL, WINDOW, ATOM lists).
    static std::vector<std::uint32_t> values32(const Reply& reply) {
        if (!reply)
            return {};
        return values32(reply->format, xcb_get_property_value(reply.get()),
                        xcb_get_property_value_length(reply.get()));
    }

    // The same from a property's raw value: `format` as the server reports it, `length` in bytes.
    // A trailing partial item is dropped.
    static std::vector<std::uint32_t> values32(std::uint8_t format, const void* data, int length) {
        if (format != 32 || length <= 0 || !data)
            return {};
        std::vector<std::uint32_t> values(static_cast<std::size_t>(length) / 4);
        if (!values.empty())
            std::memcpy(values.data(), data, values.size() * 4);
        return values;
    }

    static bool contains(const std::vector<std::uint32_t>& values, std::uint32_t value) {
        for (std::uint32_t v : values) {
            if (v == value)
                return true;
        }
        return false;
    }

    // WM_CLASS: instance and class, each NUL-terminated (the last terminator may be missing),
    // as UTF-8 (see text()).
    static std::string wmClass(const Reply& reply) {
        if (!reply)
            return {};
        return wmClass(reply->format, static_cast<const char*>(xcb_get_property_value(reply.get())),
                       xcb_get_property_value_length(reply.get()));
    }
    static std::string wmInstance(const Reply& reply) {
        if (!reply)
            return {};
        return wmInstance(reply->format,
                          static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    // The same from a raw WM_CLASS value: `format` as the server reports it, `length` in bytes.
    // Both are empty when there is no terminator after the instance.
    static std::string wmClass(std::uint8_t format, const char* data, int length) {
        return wmClassPart(format, data, length, 1);
    }
    static std::string wmInstance(std::uint8_t format, const char* data, int length) {
        return wmClass(format, data, length).empty() ? std::string()
                                                     : wmClassPart(format, data, length, 0);
    }

    // A STRING property's bytes as UTF-8. STRING is Latin-1, but toolkits store their programs'
    // names as UTF-8 bytes: a value that is valid UTF-8 is kept, anything else is read as
    // Latin-1. Either way the same bytes always give the same text.
    static std::string text(std::string_view bytes);

    // The length of a property in 32-bit items as a zero-length request reports it (its
    // bytes_after), or 0 when the property is missing or not 32-bit.
    static std::uint32_t length32(const Reply& reply) {
        if (!reply || reply->format != 32)
            return 0;
        return reply->bytes_after / 4 + static_cast<std::uint32_t>(reply->value_len);
    }

private:
    static std::string wmClassPart(std::uint8_t format, const char* data, int length, int part) {
        if (format != 8 || length <= 0 || !data)
            return {};
        const std::string both(data, static_cast<std::size_t>(length));
        const auto split = both.find('\0');
        if (split == std::string::npos)
            return {};
        if (part == 0)
            return text(std::string_view(both).substr(0, split));
        const auto end = both.find('\0', split + 1);
        return text(std::string_view(both).substr(
            split + 1, end == std::string::npos ? std::string::npos : end - split - 1));
    }
};

} // namespace halvo
