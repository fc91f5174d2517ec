// SPDX-License-Identifier: GPL-3.0-or-later
#include "scope/drawing.h"

#include <algorithm>

#include "scope/burst.h"

#include <gtest/gtest.h>

namespace kestle::scope {
namespace {

long count(const std::vector<Line>& lines, std::uint32_t rgb) {
    return std::count_if(lines.begin(), lines.end(), [&](const Line& l) { return l.rgb == rgb; });
}

std::vector<Line> designed(const ScopeTraces& t, int spacing, bool ab, bool a, bool b) {
    return scopeLines(t, kDesignedScaleWidth, kDesignedScaleHeight, spacing, ab, a, b);
}

TEST(ScopeSpacing, FirstCheckedTimeBaseWins) {
    EXPECT_EQ(pointSpacing(true, true, true, true), 500);
    EXPECT_EQ(pointSpacing(false, true, true, true), 300);
    EXPECT_EQ(pointSpacing(false, false, true, true), 150);
    EXPECT_EQ(pointSpacing(false, false, false, true), 30);
    EXPECT_EQ(pointSpacing(false, false, false, false), 30);
}

TEST(ScopeDrawing, GridOnlyWhenNoTraceShown) {
    // Rows y = 0..2000 (5) x columns x = 0..2500 (6), two lines each.
    const auto lines = designed(ScopeTraces{}, 30, false, false, false);
    ASSERT_EQ(lines.size(), 60u);
    EXPECT_EQ(count(lines, kGridColour), 60);
    EXPECT_EQ(lines[0], (Line{0, 0, 0, 2475, kGridColour}));
    EXPECT_EQ(lines[1], (Line{0, 0, 2955, 0, kGridColour}));
    EXPECT_EQ(lines[3], (Line{0, 0, 2955, 0, kGridColour})); // repeated per column
    EXPECT_EQ(lines[12], (Line{0, 0, 0, 2475, kGridColour}));
    EXPECT_EQ(lines[13], (Line{0, 500, 2955, 500, kGridColour}));
}

TEST(ScopeDrawing, PointsPerTimeBase) {
    const ScopeTraces t;
    EXPECT_EQ(count(designed(t, 30, true, true, true), kAbTraceColour), 99);
    EXPECT_EQ(count(designed(t, 500, true, true, true), kBTraceColour), 6);
    EXPECT_EQ(count(designed(t, 150, false, true, false), kATraceColour), 20);
    EXPECT_EQ(count(designed(t, 0, true, true, true), kGridColour), 60);
    // A dense spacing stops at the last sample instead of reading past it.
    const auto dense = designed(t, 1, true, false, false);
    EXPECT_EQ(count(dense, kAbTraceColour), 120);
    EXPECT_EQ(dense.back().x2, 120);
}

TEST(ScopeDrawing, TracesStartFromZeroLineInOrder) {
    ScopeTraces t;
    t.scopeab[1] = 100;
    t.scopea[1] = 50;
    t.scopeb[1] = -20;
    t.scopeab[2] = 300;
    const auto lines = designed(t, 30, true, true, true);
    const std::size_t first = 60;
    EXPECT_EQ(lines[first], (Line{-1, 2000, 1, 1900, kAbTraceColour}));
    EXPECT_EQ(lines[first + 1], (Line{-1, 2000, 1, 1950, kATraceColour}));
    EXPECT_EQ(lines[first + 2], (Line{-1, 2000, 1, 2020, kBTraceColour}));
    EXPECT_EQ(lines[first + 3], (Line{0, 1900, 31, 1700, kAbTraceColour}));
    EXPECT_EQ(lines.back(), (Line{2910, 2000, 2941, 2000, kBTraceColour}));
}

TEST(ScopeDrawing, ZeroCountsLieOnZeroLine) {
    ScopeTraces t;
    for (auto* trace : {&t.scopeab, &t.scopea, &t.scopeb}) {
        std::fill(trace->begin() + 1, trace->end(), std::int16_t{700}); // an earlier burst
    }
    Burst burst(t);
    for (int m = 1; m <= kLastAnswerIndex; m += 2) {
        burst.addAnswer(m, {});
    }
    const auto lines = designed(t, 30, true, true, true);
    ASSERT_EQ(lines.size(), 60u + 3 * 99);
    for (std::size_t i = 60; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].y1, 2000);
        EXPECT_EQ(lines[i].y2, 2000);
    }
}

} // namespace
} // namespace kestle::scope
