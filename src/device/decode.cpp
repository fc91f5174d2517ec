// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/decode.h"

#include "support/convert.h"

namespace kestle::device {

std::string frequencyText(double hz) {
    if (hz < 1000)
        return numText(hz) + " Hz";
    return numText(hz / 1000) + "KHz";
}

std::string voltsText(double volts) {
    return formatMask(volts, "#.00") + " VDC";
}

const std::array<Band, 11>& bands() {
    static const std::array<Band, 11> b = {{{0, 30},
                                            {30, 60},
                                            {60, 120},
                                            {120, 240},
                                            {240, 500},
                                            {500, 1000},
                                            {1000, 5000},
                                            {5000, 10000},
                                            {10000, 15000},
                                            {15000, 25000},
                                            {25000, 1e300}}};
    return b;
}

bool inTickedBand(double hz, const std::array<bool, 11>& ticked) {
    bool hit = false;
    for (std::size_t i = 0; i < 11; ++i) {
        if (ticked[i] && hz >= bands()[i].lo && hz <= bands()[i].hi)
            hit = true;
    }
    return hit;
}

std::string temperatureText(int fahrenheit) {
    return formatMask(fahrenheit, "##.##") + " F";
}

double sensorField(int s, int mag) {
    return (s - 500) * static_cast<double>(mag) / 1000.0;
}

std::string fieldText(double mG) {
    return numText(mG) + " mG";
}

std::optional<Direction> naturalDirection(int s1, int s2, int s3, int s4) {
    auto lowest = [](int a, int b, int c, int d) { return a < b && a < c && a < d; };
    auto highest = [](int a, int b, int c, int d) { return a > b && a > c && a > d; };
    struct Rule {
        bool holds;
        int square, sensor;
    };
    const Rule rules[16] = {
        {lowest(s1, s2, s3, s4), 0, 4},
        {lowest(s2, s1, s3, s4), 1, 3},
        {lowest(s4, s1, s2, s3), 2, 1},
        {lowest(s3, s1, s2, s4), 3, 2},
        {(s1 < s2 || s1 < s3) && s4 > s1, 0, 4},
        {(s2 < s1 || s2 < s4) && s3 > s2, 1, 3},
        {(s4 < s3 || s4 < s2) && s1 > s4, 2, 1},
        {(s3 < s1 || s3 < s4) && s2 > s3, 3, 2},
        {highest(s4, s1, s2, s3), 0, 4},
        {highest(s3, s1, s2, s4), 1, 3},
        {highest(s1, s2, s3, s4), 2, 1},
        {highest(s2, s1, s3, s4), 3, 2},
        {s1 < s2 || s1 < s3, 0, 4},
        {s2 < s1 || s2 < s4, 1, 3},
        {s4 < s3 || s4 < s2, 2, 1},
        {s3 < s1 || s3 < s4, 3, 2},
    };
    for (int i = 0; i < 16; ++i) {
        if (rules[i].holds)
            return Direction{i + 1, rules[i].square, rules[i].sensor};
    }
    return std::nullopt;
}

} // namespace kestle::device
