// SPDX-License-Identifier: GPL-3.0-or-later
// The pure rules behind the overlays: date formats, rotations, hatches.
#include "capture/overlay.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bitset>
#include <set>

namespace kestle::capture {
namespace {

using ::testing::ElementsAre;

TEST(DateStamp, MonthBeforeTheTimeMinutesAfterTheHours) {
    const LocalDateTime t{2026, 12, 7, 16, 5, 9};
    const std::pair<int, const char*> cases[] = {{0, "12/07/2026"},
                                                 {1, "07/12/2026"},
                                                 {2, "12.07.2026"},
                                                 {3, "07.12.2026"},
                                                 {4, "16:05:09"},
                                                 {5, "16:05"},
                                                 {6, "05:09"},
                                                 {7, "12/07/2026 16:05:09"},
                                                 {10, "07.12.2026 16:05:09"},
                                                 {14, "07.12.2026 16:05"},
                                                 {15, "12/07/2026.05:09"},
                                                 {18, "07.12.2026.05:09"},
                                                 {19, "12/07/2026"},
                                                 {-1, "12/07/2026"}};
    for (auto [format, text] : cases)
        EXPECT_EQ(dateStamp(format, t), text) << format;
    EXPECT_EQ(dateFormatNames()[15], std::string("mm/dd/yyyy.mm:ss"));
}

// A picture 3 wide and 2 high, as the list's caption describes the turn
// and flip, and as GStreamer's orientation numbers define them; both must
// move every pixel to the same place.
using Grid = std::vector<std::vector<int>>;

Grid turn(const Grid& g) { // 90 degrees clockwise
    Grid r(g[0].size(), std::vector<int>(g.size()));
    for (std::size_t y = 0; y < g.size(); ++y)
        for (std::size_t x = 0; x < g[0].size(); ++x)
            r[x][g.size() - 1 - y] = g[y][x];
    return r;
}
Grid mirror(Grid g) { // horizontal flip
    for (auto& row : g)
        std::reverse(row.begin(), row.end());
    return g;
}
Grid upsideDown(Grid g) { // vertical flip
    std::reverse(g.begin(), g.end());
    return g;
}
Grid transpose(const Grid& g) {
    Grid r(g[0].size(), std::vector<int>(g.size()));
    for (std::size_t y = 0; y < g.size(); ++y)
        for (std::size_t x = 0; x < g[0].size(); ++x)
            r[x][y] = g[y][x];
    return r;
}

Grid byCaption(const std::string& caption, Grid g) {
    const int degrees = caption.rfind("90", 0) == 0    ? 90
                        : caption.rfind("180", 0) == 0 ? 180
                        : caption.rfind("270", 0) == 0 ? 270
                                                       : 0;
    for (int d = 0; d < degrees; d += 90)
        g = turn(g);
    if (caption.find("horizontal flip") != std::string::npos)
        g = mirror(g);
    if (caption.find("vertical flip") != std::string::npos)
        g = upsideDown(g);
    return g;
}

Grid byOrientation(int method, const Grid& g) {
    switch (method) {
    case 0:
        return g;
    case 1:
        return turn(g);
    case 2:
        return turn(turn(g));
    case 3:
        return turn(turn(turn(g)));
    case 4:
        return mirror(g);
    case 5:
        return upsideDown(g);
    case 6:
        return transpose(g); // upper left to lower right
    case 7:
        return turn(turn(transpose(g))); // upper right to lower left
    }
    return {};
}

TEST(Rotation, EachPositionTurnsAndFlipsAsItsCaptionSays) {
    const Grid g = {{1, 2, 3}, {4, 5, 6}};
    for (int p = 0; p < kRotationCount; ++p) {
        const std::string caption = rotationNames()[static_cast<std::size_t>(p)];
        const Grid want = byCaption(caption, g);
        EXPECT_EQ(byOrientation(orientationOf(p), g), want) << caption;
        EXPECT_EQ(swapsSides(p), want.size() == 3) << caption;
    }
    EXPECT_EQ(orientationOf(12), 0);
    EXPECT_FALSE(swapsSides(-1));
}

TEST(HatchStyles, FiftyThreeDistinctPatternsThenTheTotal) {
    ASSERT_EQ(hatchStyleNames().size(), 54u);
    EXPECT_EQ(hatchStyleNames()[0], std::string("HatchStyleHorizontal "));
    EXPECT_EQ(hatchStyleNames()[52], std::string("HatchStyleSolidDiamond "));
    EXPECT_EQ(hatchStyleNames()[53], std::string("HatchStyleTotal "));
    std::set<std::array<std::uint8_t, 8>> seen;
    for (int s = 0; s < kHatchPatternCount; ++s) {
        EXPECT_TRUE(seen.insert(hatchPattern(s)).second) << hatchStyleNames()[s];
        EXPECT_EQ(std::string(hatchStyleNames()[static_cast<std::size_t>(s)]).back(), ' ');
    }
    auto ink = [](int style) {
        int n = 0;
        for (std::uint8_t row : hatchPattern(style))
            n += static_cast<int>(std::bitset<8>(row).count());
        return n;
    };
    // 05Percent to 90Percent cover what their names say, rounded to 64 pixels.
    const int percents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ink(6 + i), (percents[i] * 64 + 50) / 100) << percents[i];
    EXPECT_EQ(ink(53), 64);
}

TEST(OverlayText, LinesSplitAtLineFeedCarriageReturnKeepingAnEmptyOne) {
    EXPECT_THAT(overlayLines("Corvane\n\r"), ElementsAre("Corvane", ""));
    EXPECT_THAT(overlayLines("a\n\rb\r\nc"), ElementsAre("a", "b\r\nc"));
    EXPECT_TRUE(fontFlags(3).bold && fontFlags(3).italic && !fontFlags(3).underline);
    EXPECT_TRUE(fontFlags(4).underline && !fontFlags(4).bold);
}

} // namespace
} // namespace kestle::capture
