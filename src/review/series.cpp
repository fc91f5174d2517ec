#include "review/series.h"

namespace kestle::review {

const SeriesStyle& seriesStyle(Series s) {
    // Night colours stay within the night view's reds and ambers, told
    // apart by brightness; the alarm red is left to the alarm markers.
    static const std::array<SeriesStyle, kSeriesCount> kStyles = {{
        {"Channel A", "V", 0x1F5FBF, 0xB07828},
        {"Channel B", "V", 0x2E8B3A, 0x8A6A30},
        {"Threshold", "V", 0x7A3FA0, 0x6A4818},
        {"EMF", "mG", 0xC07000, 0xC89040},
        {"Natural EMF", "mG", 0x008080, 0x907050},
        {"Temperature", "F", 0x804040, 0x7A5A3A},
    }};
    return kStyles[static_cast<std::size_t>(s)];
}

} // namespace kestle::review
