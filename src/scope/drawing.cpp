// SPDX-License-Identifier: GPL-3.0-or-later
#include "scope/drawing.h"

#include <array>
#include <cstddef>

namespace kestle::scope {
namespace {

constexpr int kGridStep = 500;
constexpr int kZeroLine = 2000;
constexpr int kFallbackSpacing = 30;

using Trace = std::array<std::int16_t, kTraceSize>;

void addSegment(std::vector<Line>& out, const Trace& t, std::size_t q, int prevX, int x,
                std::uint32_t rgb) {
    out.push_back({prevX - 1, kZeroLine - t[q - 1], x, kZeroLine - t[q], rgb});
}

} // namespace

int pointSpacing(bool tb1, bool tb5, bool tb10, bool tb100) {
    if (tb1) {
        return 500;
    }
    if (tb5) {
        return 300;
    }
    if (tb10) {
        return 150;
    }
    if (tb100) {
        return 30;
    }
    return kFallbackSpacing;
}

std::vector<Line> scopeLines(const ScopeTraces& traces, int scaleWidth, int scaleHeight,
                             int spacing, bool showAB, bool showA, bool showB) {
    std::vector<Line> out;
    // 64-bit counters: stepping past a width near the int limit must not overflow.
    for (std::int64_t y = 0; y <= scaleHeight; y += kGridStep) {
        for (std::int64_t x = 0; x <= scaleWidth; x += kGridStep) {
            const int gx = static_cast<int>(x), gy = static_cast<int>(y);
            out.push_back({gx, 0, gx, scaleHeight, kGridColour});
            out.push_back({0, gy, scaleWidth, gy, kGridColour});
        }
    }
    if (spacing < 1) {
        return out;
    }
    std::size_t q = 1;
    int prevX = 0;
    for (std::int64_t step = 1; step <= scaleWidth && q < kTraceSize; step += spacing) {
        const int x = static_cast<int>(step);
        if (showAB) {
            addSegment(out, traces.scopeab, q, prevX, x, kAbTraceColour);
        }
        if (showA) {
            addSegment(out, traces.scopea, q, prevX, x, kATraceColour);
        }
        if (showB) {
            addSegment(out, traces.scopeb, q, prevX, x, kBTraceColour);
        }
        ++q;
        prevX = x;
    }
    return out;
}

} // namespace kestle::scope
