// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six readings a night is looked at by, with their names, units and
// colours: one table for the live chart, the review window and the report.
#include <array>
#include <cstdint>

namespace kestle::review {

enum class Series { VoltsA, VoltsB, Threshold, Emf, NaturalEmf, Temperature };
inline constexpr int kSeriesCount = 6;

struct SeriesStyle {
    const char* name;
    const char* unit;
    std::uint32_t day;   // 0xRRGGBB on a light ground
    std::uint32_t night; // dim, on the night view's black
};

const SeriesStyle& seriesStyle(Series s);
inline const SeriesStyle& seriesStyle(int i) {
    return seriesStyle(static_cast<Series>(i));
}

} // namespace kestle::review
