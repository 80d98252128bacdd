// The user defaults kept in one JSON object in a file, normally
// $XDG_CONFIG_HOME/halvo/defaults.json. Writes replace the file atomically, keeping its mode, and
// where it is a link, the file it points to; a file that cannot be parsed is set aside as
// defaults.json.corrupt before it is replaced; when the folder cannot be written the values live on
// in memory and the failure is logged once.
#pragma once

#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace halvo {

class JsonFileUserDefaults final : public UserDefaults {
public:
    // Reads the file if it exists. Nothing is written until the first setObject.
    JsonFileUserDefaults(std::filesystem::path file, Log& log);

    // $XDG_CONFIG_HOME/halvo/defaults.json, with ~/.config standing in for an unset or relative
    // XDG_CONFIG_HOME.
    static std::filesystem::path defaultPath();

    std::optional<DefaultsValue> objectForKey(const std::string& key) const override;
    void setObject(const std::string& key, DefaultsValue value) override;

    // How deeply values may nest in the file; a deeper file counts as damaged.
    static constexpr int maxDepth = 100;

    // The file's contents as an object; nothing when the text is not JSON, not a JSON object or
    // nested deeper than maxDepth.
    static std::optional<nlohmann::json> parse(std::string_view text);
    // A stored JSON value as the program reads it: strings, numbers (as doubles), booleans and
    // arrays made only of strings; anything else is a value of no readable type.
    static DefaultsValue valueFrom(const nlohmann::json& json);
    // How a value is stored: whole numbers as JSON integers, other numbers as JSON reals.
    static nlohmann::json jsonFrom(const DefaultsValue& value);
    // The text written to the file. Strings that are not valid UTF-8 are stored with the bad bytes
    // replaced rather than failing the write.
    static std::string serialize(const nlohmann::json& object);

    const std::filesystem::path& path() const { return m_file; }

private:
    void load();
    void save();
    bool writeAtomically(const std::string& text, std::string& error) const;
    void reportFailure(const std::string& message);

    std::filesystem::path m_file;
    Log& m_log;
    nlohmann::json m_values = nlohmann::json::object();
    bool m_setAsideBeforeWrite = false; // the file on disk could not be parsed
    bool m_readOnly = false;            // the file exists but could not be read
    bool m_failureReported = false;
};

} // namespace halvo
