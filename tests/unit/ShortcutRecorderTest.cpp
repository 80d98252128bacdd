// Turning modifier changes into a recorded combination.
#include "settings/ShortcutRecorder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace halvo {
namespace {

constexpr Modifiers none;
constexpr Modifiers ctrl = Modifier::control;
constexpr Modifiers alt = Modifier::alt;
constexpr Modifiers super = Modifier::super;
constexpr Modifiers shift = Modifier::shift;

struct FlagsCase {
    const char* name;
    std::vector<Modifiers> flags;
    std::uint32_t expected; // 0: still recording, nothing recorded
};

class ShortcutRecorderSequenceTest : public testing::TestWithParam<FlagsCase> {};

TEST_P(ShortcutRecorderSequenceTest, RecordsTheLargestCombinationHeld) {
    ShortcutRecorder recorder;
    recorder.beginRecording();
    for (const Modifiers flags : GetParam().flags)
        recorder.handleFlags(flags);
    if (GetParam().expected == 0) {
        EXPECT_TRUE(recorder.isRecording().get());
        EXPECT_FALSE(recorder.recordedModifiers().get().has_value());
        return;
    }
    EXPECT_FALSE(recorder.isRecording().get());
    EXPECT_EQ(recorder.recordedModifiers().get(), ShortcutModifiers(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ShortcutRecorderSequenceTest,
    testing::Values(
        FlagsCase{"control_then_alt_released_one_by_one", {ctrl, ctrl | alt, alt, none}, 3},
        FlagsCase{"equal_size_replaces", {ctrl | alt, ctrl, ctrl | shift, none}, 1 | 8},
        FlagsCase{"shift_alone", {shift, none}, 8},
        FlagsCase{"all_four",
                  {super, super | shift, super | shift | ctrl, super | shift | ctrl | alt, none},
                  15},
        FlagsCase{"release_without_keys_keeps_recording", {none, none}, 0}),
    [](const testing::TestParamInfo<FlagsCase>& param) { return param.param.name; });

TEST(ShortcutRecorderTest, FlagsAreIgnoredWhenNotRecording) {
    ShortcutRecorder recorder;
    recorder.handleFlags(ctrl);
    recorder.handleFlags(none);
    EXPECT_EQ(recorder.preview().get(), ShortcutModifiers());
    EXPECT_FALSE(recorder.recordedModifiers().get().has_value());
}

TEST(ShortcutRecorderTest, ConfirmationPublishesTheResultBeforeRecordingEnds) {
    ShortcutRecorder recorder;
    std::optional<ShortcutModifiers> seenWhenStopped;
    bool stopped = false;
    auto subscription = recorder.isRecording().subscribe([&](bool recording) {
        if (!recording) {
            stopped = true;
            seenWhenStopped = recorder.recordedModifiers().get();
        }
    });
    recorder.beginRecording();
    recorder.handleFlags(ctrl | super);
    recorder.handleFlags(none);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(seenWhenStopped, ShortcutModifiers(5));
}

TEST(ShortcutRecorderTest, CancelClearsTheResultBeforeRecordingEnds) {
    ShortcutRecorder recorder;
    std::vector<std::string> order;
    auto a =
        recorder.recordedModifiers().subscribe([&](const auto&) { order.push_back("result"); });
    auto b = recorder.preview().subscribe([&](const auto&) { order.push_back("preview"); });
    auto c = recorder.isRecording().subscribe([&](bool recording) {
        order.push_back(recording ? "recording" : "idle");
        if (!recording) {
            EXPECT_FALSE(recorder.recordedModifiers().get().has_value());
        }
    });
    recorder.beginRecording();
    recorder.handleFlags(ctrl);
    recorder.cancelRecording();
    EXPECT_EQ(order, (std::vector<std::string>{"preview", "result", "recording", "preview",
                                               "result", "preview", "idle"}));
}

TEST(ShortcutRecorderTest, NewRecordingForgetsTheLastResult) {
    ShortcutRecorder recorder;
    recorder.beginRecording();
    recorder.handleFlags(shift);
    recorder.handleFlags(none);
    ASSERT_TRUE(recorder.recordedModifiers().get().has_value());
    recorder.beginRecording();
    EXPECT_FALSE(recorder.recordedModifiers().get().has_value());
    EXPECT_EQ(recorder.preview().get(), ShortcutModifiers());
    EXPECT_TRUE(recorder.isRecording().get());
}

} // namespace
} // namespace halvo
