// Key bindings read from configuration text: each row a configuration and the bindings sway would
// make of it.
#include "platform/i3ipc/I3ConfigBindings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace halvo {
namespace {

// "[resize] release sym Control+Mod1+left: focus left".
std::string describe(const I3KeyBinding& binding) {
    static constexpr const char* names[] = {"Shift", "Lock", "Control", "Mod1",
                                            "Mod2",  "Mod3", "Mod4",    "Mod5"};
    std::string text;
    if (binding.mode != "default")
        text += "[" + binding.mode + "] ";
    if (binding.release)
        text += "release ";
    text += binding.kind == I3KeyBinding::Kind::symbol ? "sym " : "code ";
    for (int bit = 0; bit < 8; ++bit) {
        if (binding.modifiers & (1 << bit))
            text += std::string(names[bit]) + "+";
    }
    for (std::size_t i = 0; i < binding.keys.size(); ++i)
        text += (i ? "+" : "") + binding.keys[i];
    return text + ": " + binding.command;
}

std::vector<std::string> describeAll(const std::vector<I3KeyBinding>& bindings) {
    std::vector<std::string> result;
    for (const I3KeyBinding& binding : bindings)
        result.push_back(describe(binding));
    return result;
}

struct Row {
    const char* name;
    std::string config;
    std::vector<std::string> expected;
};

// Test listings name the row, not its bytes.
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class ConfigBindings : public testing::TestWithParam<Row> {};

TEST_P(ConfigBindings, ReadsWhatSwayWouldBind) {
    EXPECT_EQ(describeAll(I3ConfigBindings::parse(GetParam().config)), GetParam().expected);
}

std::string doublingVariable() {
    std::string config = "set $a Ctrl\n";
    for (int i = 0; i < 40; ++i)
        config += "set $a $a$a\n";
    return config + "bindsym $a+Left x\nbindsym Ctrl+Left y\n";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConfigBindings,
    testing::Values(
        Row{"variables_longest_name_first_and_only_after_their_set",
            "bindsym $mod+Up early\nset $mod Mod4\nset $modifier Ctrl\n"
            "bindsym $modifier+$mod+Left focus left\nset mod2 Shift\nbindsym $mod2+Down x",
            {"sym $mod+up: early", "sym Control+Mod4+left: focus left", "sym Shift+down: x"}},
        Row{"modifier_and_key_names_any_case_and_order",
            "bindsym ctrl+ALT+LEFT a\nbindsym Super+Control+Mod1+Logo+Right b\n"
            "bindsym Alt+Mod2+Mod3+Mod5+Shift+Lock+0xff53 c",
            {"sym Control+Mod1+left: a", "sym Control+Mod1+Mod4+right: b",
             "sym Shift+Lock+Mod1+Mod2+Mod3+Mod5+right: c"}},
        Row{"flags",
            "bindsym --release --locked --to-code --no-repeat --input-device=1:1:kbd "
            "--whole-window --border --exclude-titlebar --inhibited Ctrl+Up exec a b\n"
            "bindsym --input-device=\"x y\" Ctrl+Down d",
            {"release sym Control+up: exec a b", "sym Control+down: d"}},
        Row{"bindcode_takes_numbers_only",
            "bindcode Mod1+113 a\nbindcode Mod1+x b\nbindcode --release 0114 c",
            {"code Mod1+113: a", "release code 114: c"}},
        Row{"mode_blocks_and_blocks_of_bindings",
            "mode \"resize\" {\n  bindsym Left shrink\n}\nmode --pango_markup <b>m</b> {\n"
            "bindsym Up grow\n}\nbindsym {\n  Ctrl+Left a\n  Ctrl+Right b\n}\n"
            "mode \"default\" {\nbindsym Ctrl+Down c\n}\nmode resize\nbindsym Left focus\n"
            "mode \"\" {\nbindsym Ctrl+Up nameless\n}",
            {"[resize] sym left: shrink", "[<b>m</b>] sym up: grow", "sym Control+left: a",
             "sym Control+right: b", "sym Control+down: c", "sym left: focus"}},
        Row{"brace_on_its_own_line_continuations_comments",
            "mode resize\n{\nbindsym Down x\n}\n# bindsym Ctrl+Left no\n   \n"
            "bindsym Ctrl+Left \\\n  exec foo\r\n",
            {"[resize] sym down: x", "sym Control+left: exec foo"}},
        Row{"nested_blocks_of_other_commands_bind_nothing",
            "bar {\n  colors {\n    focused #000000\n  }\n  bindsym button1 nop\n}\n"
            "input * {\n xkb_layout us\n}\nbindsym Ctrl+Up after",
            {"sym Control+up: after"}},
        Row{"later_binding_replaces_and_unbinding_removes",
            "bindsym Ctrl+Left a\nbindsym Control+left b\nbindsym --release Ctrl+Left c\n"
            "bindsym Ctrl+Right d\nunbindsym Ctrl+Right\nBINDSYM Ctrl+Up e",
            {"sym Control+left: b", "release sym Control+left: c", "sym Control+up: e"}},
        Row{"malformed_lines_are_skipped",
            "bindsym\nbindsym Ctrl+\nbindsym Ctrl+Left\nbindsym ++ x\nbindsym Ctrl+Shift y\n}\n"
            "}\nbindsym \"Ctrl+Up z\nset\nset $x\nbindsym Ctrl+Down ok",
            {"sym Control+down: ok"}},
        Row{"dollar_escapes_and_unknown_variables",
            "set $m Mod1\nbindsym $$m+Left $m $$",
            {"sym $m+left: Mod1 $"}},
        Row{"runaway_variable_is_dropped", doublingVariable(), {"sym Control+left: y"}}),
    [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

TEST(ConfigBindingsInclude, ReadsIncludedFilesInPlaceAndEachOnce) {
    std::vector<std::string> asked;
    const I3ConfigBindings::IncludeReader reader = [&](const std::string& pattern,
                                                       const std::string& from) {
        asked.push_back(pattern + " from " + from);
        std::vector<I3ConfigBindings::IncludedFile> files;
        if (pattern == "vars")
            files.push_back({"/c/vars", "set $m Mod1\ninclude /c/main\ninclude vars"});
        if (pattern == "Mod1.d/*")
            files.push_back({"/c/Mod1.d/keys", "bindsym $m+Down x"});
        if (pattern == "/c/main")
            files.push_back({"/c/main", "bindsym Ctrl+Left again"});
        return files;
    };
    const auto bindings = I3ConfigBindings::parse(
        "include vars\ninclude $m.d/*\nmode m {\ninclude vars\n}\nbindsym $m+Up y", "/c/main",
        reader);
    EXPECT_EQ(describeAll(bindings),
              (std::vector<std::string>{"sym Mod1+down: x", "sym Mod1+up: y"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"vars from /c/main", "/c/main from /c/vars",
                                               "vars from /c/vars", "Mod1.d/* from /c/main"}));
}

// Files that each include two new files: the reading stops after maxIncludedFiles, not after
// 2^maxIncludeDepth.
TEST(ConfigBindingsInclude, FanOutOfIncludesIsBounded) {
    std::size_t reads = 0;
    const I3ConfigBindings::IncludeReader reader = [&](const std::string& pattern,
                                                       const std::string&) {
        ++reads;
        return std::vector<I3ConfigBindings::IncludedFile>{
            {pattern, "bindsym Ctrl+Left x\ninclude " + pattern + "a\ninclude " + pattern + "b"}};
    };
    I3ConfigBindings::parse("include f", "main", reader);
    EXPECT_LE(reads, I3ConfigBindings::maxIncludedFiles + 2);
}

TEST(ConfigBindingsInclude, FileReaderGlobsRelativeToTheIncludingFile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("halvo it's " + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "conf.d");
    const auto write = [&](const std::filesystem::path& path, const std::string& text) {
        std::ofstream(folder / path) << text;
    };
    write("config", "include conf.d/*.conf\ninclude ~/none\ninclude $(touch x)\n");
    write("conf.d/b.conf", "bindsym Ctrl+Right b");
    write("conf.d/a.conf", "bindsym Ctrl+Left a");
    write("conf.d/c.txt", "bindsym Ctrl+Up c");
    std::ifstream in(folder / "config");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const auto bindings =
        I3ConfigBindings::parse(text, (folder / "config").string(), I3ConfigBindings::fileReader());
    EXPECT_EQ(describeAll(bindings),
              (std::vector<std::string>{"sym Control+left: a", "sym Control+right: b"}));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace halvo
