// The framing of a subscribed i3 IPC socket: messages split over reads or packed into one, and
// frames that cannot be read (bad magic, oversize length) refused at once instead of awaited;
// and an event's kind read without parsing the rest.
#include "platform/i3ipc/I3EventReader.h"

#include "platform/i3ipc/I3EventChange.h"
#include "platform/i3ipc/I3IpcError.h"

#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace halvo;

namespace {

std::string frame(std::uint32_t type, const std::string& payload, const char* magic = "i3-ipc") {
    std::string bytes(magic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    bytes.append(reinterpret_cast<const char*>(&length), 4);
    bytes.append(reinterpret_cast<const char*>(&type), 4);
    return bytes + payload;
}

std::vector<I3Event> drain(I3EventReader& reader) {
    std::vector<I3Event> events;
    while (auto event = reader.next())
        events.push_back(*event);
    return events;
}

constexpr std::uint32_t window = 0x80000003u;
constexpr std::uint32_t tick = 0x80000007u;

} // namespace

TEST(I3EventReader, SplitAndPackedFramesComeOutWholeAndInOrder) {
    const std::string stream = frame(2, R"({"success":true})") +
                               frame(window, R"({"change":"new"})") + frame(tick, "") +
                               frame(0x80000001u, "{}");
    // Every way of cutting the stream in two, and byte by byte.
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        I3EventReader reader;
        reader.feed(stream.substr(0, cut));
        std::vector<I3Event> events = drain(reader);
        reader.feed(stream.substr(cut));
        for (I3Event& event : drain(reader))
            events.push_back(event);
        ASSERT_EQ(events.size(), 4u) << "cut at " << cut;
        EXPECT_EQ(events[0].type, "reply");
        EXPECT_EQ(events[0].payload, R"({"success":true})");
        EXPECT_EQ(events[1].type, "window");
        EXPECT_EQ(events[1].payload, R"({"change":"new"})");
        EXPECT_EQ(events[2].type, "tick");
        EXPECT_EQ(events[2].payload, "");
        EXPECT_EQ(events[3].type, "output");
    }
    I3EventReader reader;
    std::vector<I3Event> events;
    for (const char byte : stream) {
        reader.feed(std::string(1, byte));
        for (I3Event& event : drain(reader))
            events.push_back(event);
    }
    EXPECT_EQ(events.size(), 4u);
}

TEST(I3EventReader, MalformedFramesAreErrorsAsSoonAsTheHeaderIsIn) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string oversize = frame(window, "");
    const std::uint32_t huge = I3EventReader::defaultMaxLength + 1;
    std::memcpy(oversize.data() + 6, &huge, 4);
    const std::vector<Case> cases{
        {"wrong magic", frame(window, "{}", "i4-ipc")},
        {"oversize length, no payload sent", oversize},
        {"good frame, then garbage", frame(window, "{}") + std::string(14, 'x')},
    };
    for (const Case& c : cases) {
        I3EventReader reader;
        EXPECT_THROW(
            {
                reader.feed(c.bytes);
                drain(reader);
            },
            I3IpcError)
            << c.what;
    }
    // A small limit applies to the announced length, before any payload arrives.
    I3EventReader small(8);
    EXPECT_THROW(small.feed(frame(window, "123456789").substr(0, 14)), I3IpcError);
}

TEST(I3EventReader, NamesSwayEventsAndUnknownCodes) {
    EXPECT_EQ(I3EventReader::typeName(0x80000000u), "workspace");
    EXPECT_EQ(I3EventReader::typeName(0x80000005u), "binding");
    EXPECT_EQ(I3EventReader::typeName(0x80000006u), "shutdown");
    EXPECT_EQ(I3EventReader::typeName(0x80000015u), "input");
    EXPECT_EQ(I3EventReader::typeName(0x80000042u), "event 66");
}

TEST(I3EventChange, TakesOnlyTheTopLevelChangeString) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {R"({"change": "title", "container": {"id": 4}})", "title"},
        {R"({"container": {"change": "focus", "nodes": [{"change": "x"}]}, "change": "new"})",
         "new"},
        {R"({"container": {"change": "focus"}})", std::nullopt},
        {R"({"change": {"nested": "focus"}, "container": {}})", std::nullopt},
        {R"({"change": 3})", std::nullopt},
        {R"([{"change": "focus"}])", std::nullopt},
        {R"({"change": "clo)", std::nullopt},
        {std::string(100000, '[') + R"({"change": "focus"})", std::nullopt},
    };
    for (const auto& [payload, expected] : cases)
        EXPECT_EQ(I3EventChange::of(payload), expected) << payload.substr(0, 80);
}
