// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scope picture as a list of lines in twips, in drawing order. The
// caller clears the picture box and draws the lines; nothing here draws.
#include <cstdint>
#include <vector>

#include "scope/traces.h"

namespace kestle::scope {

// Inner size of the designed picture box (3015 x 2535 twips less a
// 2-pixel border of 15 twips per pixel on each side).
inline constexpr int kDesignedScaleWidth = 2955;
inline constexpr int kDesignedScaleHeight = 2475;

inline constexpr std::uint32_t kGridColour = 0x0000FF;    // blue
inline constexpr std::uint32_t kAbTraceColour = 0x00FF00; // green
inline constexpr std::uint32_t kATraceColour = 0xFFFF00;  // yellow
inline constexpr std::uint32_t kBTraceColour = 0x00FFFF;  // cyan

// Horizontal point spacing in twips for the time-base menu items, first
// checked wins: 1 ms 500, 5 ms 300, 10 ms 150, 100 ms 30. With none checked
// it falls back to 30, the 100 ms start-up default, so the trace loop
// always advances.
int pointSpacing(bool tb1, bool tb5, bool tb10, bool tb100);

struct Line {
    int x1, y1, x2, y2; // twips, y downwards
    std::uint32_t rgb;  // 0xRRGGBB
    bool operator==(const Line&) const = default;
};

// Grid, then traces. The grid draws one vertical and one horizontal line for
// every (x, y) on a 500-twip lattice, repeats included, as the box has
// always been drawn. Trace points run x = 1, 1 + spacing, ... up to
// scaleWidth, each point adding the enabled segments in the order A + B, A,
// B; at most 120 points, so no sample beyond the traces is read. A spacing
// below 1 draws no trace.
std::vector<Line> scopeLines(const ScopeTraces& traces, int scaleWidth, int scaleHeight,
                             int spacing, bool showAB, bool showA, bool showB);

} // namespace kestle::scope
