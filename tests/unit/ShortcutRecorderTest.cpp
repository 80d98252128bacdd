// Turning modifier changes into a recorded combination.
#include "settings/ShortcutRecorder.h"

#include "platform/HotkeyTypes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace halvo {
namespace {

constexpr std::uint64_t ctrl = NSEventModifierFlagControl;
constexpr std::uint64_t opt = NSEventModifierFlagOption;
constexpr std::uint64_t cmd = NSEventModifierFlagCommand;
constexpr std::uint64_t shift = NSEventModifierFlagShift;

struct FlagsCase {
    const char* name;
    std::vector<std::uint64_t> flags;
    std::uint32_t expected; // 0: still recording, nothing recorded
};

class ShortcutRecorderSequenceTest : public testing::TestWithParam<FlagsCase> {};

TEST_P(ShortcutRecorderSequenceTest, RecordsTheLargestCombinationHeld) {
    ShortcutRecorder recorder;
    recorder.beginRecording();
    for (const std::uint64_t flags : GetParam().flags)
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
        FlagsCase{"control_then_option_released_one_by_one", {ctrl, ctrl | opt, opt, 0}, 3},
        FlagsCase{"equal_size_replaces", {ctrl | opt, ctrl, ctrl | shift, 0}, 1 | 8},
        FlagsCase{"shift_alone", {shift, 0}, 8},
        FlagsCase{
            "all_four", {cmd, cmd | shift, cmd | shift | ctrl, cmd | shift | ctrl | opt, 0}, 15},
        FlagsCase{"release_without_keys_keeps_recording", {0, 0}, 0},
        FlagsCase{"caps_lock_and_function_ignored",
                  {NSEventModifierFlagCapsLock, NSEventModifierFlagFunction, 0},
                  0},
        FlagsCase{"caps_lock_beside_control", {ctrl | NSEventModifierFlagCapsLock, 0}, 1}),
    [](const testing::TestParamInfo<FlagsCase>& param) { return param.param.name; });

TEST(ShortcutRecorderTest, FlagsAreIgnoredWhenNotRecording) {
    ShortcutRecorder recorder;
    recorder.handleFlags(ctrl);
    recorder.handleFlags(0);
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
    recorder.handleFlags(ctrl | cmd);
    recorder.handleFlags(0);
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
    recorder.handleFlags(0);
    ASSERT_TRUE(recorder.recordedModifiers().get().has_value());
    recorder.beginRecording();
    EXPECT_FALSE(recorder.recordedModifiers().get().has_value());
    EXPECT_EQ(recorder.preview().get(), ShortcutModifiers());
    EXPECT_TRUE(recorder.isRecording().get());
}

} // namespace
} // namespace halvo
