// Reading an event's "change" member with the JSON library's event-driven parser, see
// I3EventChange.h.
#include "platform/i3ipc/I3EventChange.h"

#include <cstddef>
#include <nlohmann/json.hpp>

namespace halvo {

namespace {

// Stops the parse as soon as the top-level "change" member's value has been seen.
class ChangeFinder : public nlohmann::json_sax<nlohmann::json> {
public:
    std::optional<std::string> change;

    bool key(string_t& name) override {
        m_atChange = m_depth == 1 && name == "change";
        return true;
    }
    bool string(string_t& value) override {
        if (m_atChange) {
            change = value;
            return false;
        }
        return true;
    }
    bool start_object(std::size_t) override { return enter(); }
    bool start_array(std::size_t) override { return enter(); }
    bool end_object() override { return leave(); }
    bool end_array() override { return leave(); }
    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t) override { return scalar(); }
    bool number_unsigned(number_unsigned_t) override { return scalar(); }
    bool number_float(number_float_t, const string_t&) override { return scalar(); }
    bool binary(binary_t&) override { return scalar(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    bool enter() {
        // A "change" whose value is an object or a list is not the event's kind.
        m_atChange = false;
        return ++m_depth <= maxDepth;
    }
    bool leave() {
        --m_depth;
        return true;
    }
    bool scalar() {
        m_atChange = false;
        return true;
    }

    // sway's events nest a few levels; a hostile one is not followed down further.
    static constexpr int maxDepth = 256;
    int m_depth = 0;
    bool m_atChange = false;
};

} // namespace

std::optional<std::string> I3EventChange::of(std::string_view payload) {
    ChangeFinder finder;
    nlohmann::json::sax_parse(payload, &finder);
    return finder.change;
}

} // namespace halvo
