// _NET_WM_ICON parsing: hostile sizes, arrays that end early, and the choice of image.
#include "platform/x11/NetWmIcon.h"

#include <gtest/gtest.h>

using namespace halvo;
using Data = std::vector<std::uint32_t>;

namespace {

// An image of the given size whose pixels all hold `fill`.
void append(Data& data, std::uint32_t width, std::uint32_t height, std::uint32_t fill) {
    data.push_back(width);
    data.push_back(height);
    data.insert(data.end(), std::size_t{width} * height, fill);
}

std::vector<std::uint32_t> widths(const Data& data) {
    std::vector<std::uint32_t> result;
    for (const auto& image : NetWmIcon::images(data))
        result.push_back(image.width);
    return result;
}

} // namespace

TEST(NetWmIcon, HostileOrBrokenDataEndsTheParseAfterTheLastCompleteImage) {
    Data good;
    append(good, 16, 16, 0xff0000ff);
    struct Case {
        const char* name;
        Data tail;
    };
    const Case cases[] = {
        {"nothing after", {}},
        {"a lone width", {64}},
        {"zero width", {0, 5, 1, 2, 3}},
        {"zero height", {5, 0}},
        {"product overflowing 32 bits", {0x10000, 0x10000, 1, 2}},
        {"sides that wrap to a small product", {0x80000000u, 2, 7, 7}},
        {"side above the limit", {4097, 1}},
        {"pixels cut short", {3, 3, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"maximum values", {0xffffffffu, 0xffffffffu}},
    };
    for (const Case& c : cases) {
        Data data = good;
        data.insert(data.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(widths(data), (std::vector<std::uint32_t>{16})) << c.name;
        const AppIconRef icon = NetWmIcon::bestIcon(data, 52, 1);
        ASSERT_NE(icon, nullptr) << c.name;
        EXPECT_EQ(icon->pixels.size(), 256u) << c.name;
    }
    EXPECT_EQ(NetWmIcon::bestIcon(Data{}, 52, 1), nullptr);
    EXPECT_EQ(NetWmIcon::bestIcon(Data{2, 2, 1, 2, 3}, 52, 1), nullptr);
}

TEST(NetWmIcon, ChoosesSmallestImageCoveringThePointSizeAtTheScale) {
    Data data;
    append(data, 16, 16, 0x16);
    append(data, 128, 128, 0x128);
    append(data, 48, 48, 0x48);
    append(data, 64, 64, 0x64);
    EXPECT_EQ(widths(data), (std::vector<std::uint32_t>{16, 128, 48, 64}));
    EXPECT_EQ(NetWmIcon::bestIcon(data, 52, 1)->pixels.front(), 0x64u);
    EXPECT_EQ(NetWmIcon::bestIcon(data, 52, 2)->pixels.front(), 0x128u) << "104 px wanted";
    EXPECT_EQ(NetWmIcon::bestIcon(data, 52, 3)->pixels.front(), 0x128u) << "largest when too small";
    EXPECT_EQ(NetWmIcon::bestIcon(data, 52, 0.5)->pixels.front(), 0x48u) << "26 px wanted";
    const AppIconRef icon = NetWmIcon::bestIcon(data, 52, 1);
    EXPECT_EQ(icon->width, 64);
    EXPECT_EQ(icon->height, 64);
    EXPECT_TRUE(icon->themeName.empty());
}

TEST(NetWmIcon, PrefersSquareImageOfEqualSideAndKeepsRowOrder) {
    Data data;
    append(data, 64, 32, 0xa);
    data.push_back(64);
    data.push_back(64);
    for (std::uint32_t i = 0; i < 64 * 64; ++i)
        data.push_back(i);
    const AppIconRef icon = NetWmIcon::bestIcon(data, 52, 1);
    ASSERT_EQ(icon->height, 64);
    EXPECT_EQ(icon->pixels[65], 65u) << "second row, second pixel";
    EXPECT_EQ(icon->pixels.back(), 64u * 64 - 1);
}
