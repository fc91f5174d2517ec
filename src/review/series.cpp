// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/series.h"

namespace kestle::review {

const SeriesStyle& seriesStyle(Series s) {
    // Night colours are reds (no green or blue above red), told apart by
    // brightness and warmth; the alarm red is left to the alarm markers.
    static const std::array<SeriesStyle, kSeriesCount> kStyles = {{
        {"Channel A", "V", 0x1F5FBF, 0xD04A30},
        {"Channel B", "V", 0x2E8B3A, 0x985040},
        {"Threshold", "V", 0x7A3FA0, 0x7A2418},
        {"EMF", "mG", 0xC07000, 0xE07048},
        {"Natural EMF", "mG", 0x008080, 0xA03C30},
        {"Temperature", "F", 0x804040, 0xB86050},
    }};
    return kStyles[static_cast<std::size_t>(s)];
}

} // namespace kestle::review
