// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/overlay.h"

#include <cstdio>

namespace kestle::capture {

FontFlags fontFlags(int style) {
    switch (style) {
    case 1:
        return {true, false, false};
    case 2:
        return {false, true, false};
    case 3:
        return {true, true, false};
    case 4:
        return {false, false, true};
    default:
        return {};
    }
}

std::vector<std::string> overlayLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto p = text.find("\n\r", start);
        lines.push_back(text.substr(start, p == std::string::npos ? p : p - start));
        if (p == std::string::npos)
            return lines;
        start = p + 2;
    }
}

const std::array<const char*, kDateFormatCount>& dateFormatNames() {
    static const std::array<const char*, kDateFormatCount> names = {"mm/dd/yyyy",
                                                                    "dd/mm/yyyy",
                                                                    "mm.dd.yyyy",
                                                                    "dd.mm.yyyy",
                                                                    "hh:mm:ss",
                                                                    "hh:mm",
                                                                    "mm:ss",
                                                                    "mm/dd/yyyy hh:mm:ss",
                                                                    "dd/mm/yyyy hh:mm:ss",
                                                                    "mm.dd.yyyy hh:mm:ss",
                                                                    "dd.mm.yyyy hh:mm:ss",
                                                                    "mm/dd/yyyy hh:mm",
                                                                    "dd/mm/yyyy hh:mm",
                                                                    "mm.dd.yyyy hh:mm",
                                                                    "dd.mm.yyyy hh:mm",
                                                                    "mm/dd/yyyy.mm:ss",
                                                                    "dd/mm/yyyy.mm:ss",
                                                                    "mm.dd.yyyy.mm:ss",
                                                                    "dd.mm.yyyy.mm:ss"};
    return names;
}

std::string dateStamp(int position, const LocalDateTime& t) {
    const std::string f = dateFormatNames()[position >= 0 && position < kDateFormatCount
                                                ? static_cast<std::size_t>(position)
                                                : 0];
    auto two = [](int v) {
        char b[8];
        std::snprintf(b, sizeof b, "%02d", v % 100);
        return std::string(b);
    };
    std::string out;
    bool afterHours = false;
    for (std::size_t i = 0; i < f.size();) {
        const std::string_view rest(f.data() + i, f.size() - i);
        if (rest.substr(0, 4) == "yyyy") {
            char b[8];
            std::snprintf(b, sizeof b, "%04d", t.year % 10000);
            out += b;
            i += 4;
        } else if (rest.substr(0, 2) == "hh") {
            out += two(t.hour);
            afterHours = true;
            i += 2;
        } else if (rest.substr(0, 2) == "mm") {
            // Minutes after the hours or before a colon; else the month.
            const bool minutes = afterHours || rest.substr(2, 1) == ":";
            out += two(minutes ? t.minute : t.month);
            i += 2;
        } else if (rest.substr(0, 2) == "dd") {
            out += two(t.day);
            i += 2;
        } else if (rest.substr(0, 2) == "ss") {
            out += two(t.second);
            i += 2;
        } else {
            out += f[i++];
        }
    }
    return out;
}

const std::array<const char*, kRotationCount>& rotationNames() {
    static const std::array<const char*, kRotationCount> names = {
        "No Rotation",
        "90-degree rotation without flipping",
        "180-degree rotation without flipping",
        "270-degree rotation without flipping",
        "no rotation and a horizontal flip",
        "90-degree rotation followed by a horizontal flip",
        "180-degree rotation followed by a horizontal flip",
        "270-degree rotation followed by a horizontal flip",
        "no rotation and a vertical flip",
        "90-degree rotation followed by a vertical flip",
        "180-degree rotation followed by a vertical flip",
        "270-degree rotation followed by a vertical flip"};
    return names;
}

int orientationOf(int position) {
    // A turn followed by a flip is one of the eight orientations of a square.
    static const int table[kRotationCount] = {0, 1, 2, 3, 4, 6, 5, 7, 5, 7, 4, 6};
    return position >= 0 && position < kRotationCount ? table[position] : 0;
}

bool swapsSides(int position) {
    return position >= 0 && position < kRotationCount && position % 2 == 1;
}

const std::array<const char*, kHatchPatternCount + 1>& hatchStyleNames() {
    static const std::array<const char*, kHatchPatternCount + 1> names = {
        "HatchStyleHorizontal ",
        "HatchStyleVertical ",
        "HatchStyleForwardDiagonal ",
        "HatchStyleBackwardDiagonal ",
        "HatchStyleCross ",
        "HatchStyleDiagonalCross ",
        "HatchStyle05Percent ",
        "HatchStyle10Percent ",
        "HatchStyle20Percent ",
        "HatchStyle25Percent ",
        "HatchStyle30Percent ",
        "HatchStyle40Percent ",
        "HatchStyle50Percent ",
        "HatchStyle60Percent ",
        "HatchStyle70Percent ",
        "HatchStyle75Percent ",
        "HatchStyle80Percent ",
        "HatchStyle90Percent ",
        "HatchStyleLightDownwardDiagonal ",
        "HatchStyleLightUpwardDiagonal ",
        "HatchStyleDarkDownwardDiagonal ",
        "HatchStyleDarkUpwardDiagonal ",
        "HatchStyleWideDownwardDiagonal ",
        "HatchStyleWideUpwardDiagonal ",
        "HatchStyleLightVertical ",
        "HatchStyleLightHorizontal ",
        "HatchStyleNarrowVertical ",
        "HatchStyleNarrowHorizontal ",
        "HatchStyleDarkVertical ",
        "HatchStyleDarkHorizontal ",
        "HatchStyleDashedDownwardDiagonal ",
        "HatchStyleDashedUpwardDiagonal ",
        "HatchStyleDashedHorizontal ",
        "HatchStyleDashedVertical ",
        "HatchStyleSmallConfetti ",
        "HatchStyleLargeConfetti ",
        "HatchStyleZigZag ",
        "HatchStyleWave ",
        "HatchStyleDiagonalBrick ",
        "HatchStyleHorizontalBrick ",
        "HatchStyleWeave ",
        "HatchStylePlaid ",
        "HatchStyleDivot ",
        "HatchStyleDottedGrid ",
        "HatchStyleDottedDiamond ",
        "HatchStyleShingle ",
        "HatchStyleTrellis ",
        "HatchStyleSphere ",
        "HatchStyleSmallGrid ",
        "HatchStyleSmallCheckerBoard ",
        "HatchStyleLargeCheckerBoard ",
        "HatchStyleOutlinedDiamond ",
        "HatchStyleSolidDiamond ",
        "HatchStyleTotal "};
    return names;
}

namespace {

using Pattern = std::array<std::uint8_t, 8>;

// A diagonal: row y has the pixels at x = (y + k) mod 8 for each k in
// `offsets`; `down` runs from the top left to the bottom right.
Pattern diagonal(std::initializer_list<int> offsets, bool down) {
    Pattern p{};
    for (int y = 0; y < 8; ++y)
        for (int k : offsets) {
            const int x = ((down ? y : 7 - y) + k) % 8;
            p[static_cast<std::size_t>(y)] |= static_cast<std::uint8_t>(0x80 >> x);
        }
    return p;
}

// `percent` of the 64 pixels, spread evenly by an ordered dither.
Pattern percentPattern(int percent) {
    static const int bayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const int on = (percent * 64 + 50) / 100;
    Pattern p{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if (bayer[y][x] < on)
                p[static_cast<std::size_t>(y)] |= static_cast<std::uint8_t>(0x80 >> x);
    return p;
}

} // namespace

std::array<std::uint8_t, 8> hatchPattern(int style) {
    static const int percents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    if (style >= 6 && style <= 17)
        return percentPattern(percents[style - 6]);
    switch (style) {
    case 0:
        return {0xFF, 0, 0, 0, 0, 0, 0, 0};
    case 1:
        return {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    case 2:
        return diagonal({0}, true);
    case 3:
        return diagonal({0}, false);
    case 4:
        return {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    case 5: {
        Pattern a = diagonal({0}, true), b = diagonal({0}, false);
        for (std::size_t i = 0; i < 8; ++i)
            a[i] |= b[i];
        return a;
    }
    case 18:
        return diagonal({0, 4}, true);
    case 19:
        return diagonal({0, 4}, false);
    case 20:
        return diagonal({0, 1, 4, 5}, true);
    case 21:
        return diagonal({0, 1, 4, 5}, false);
    case 22:
        return diagonal({0, 1, 2}, true);
    case 23:
        return diagonal({0, 1, 2}, false);
    case 24:
        return {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88};
    case 25:
        return {0xFF, 0, 0, 0, 0xFF, 0, 0, 0};
    case 26:
        return {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    case 27:
        return {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0};
    case 28:
        return {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    case 29:
        return {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    case 30:
        return {0x88, 0x44, 0x22, 0x11, 0, 0, 0, 0};
    case 31:
        return {0x11, 0x22, 0x44, 0x88, 0, 0, 0, 0};
    case 32:
        return {0xF0, 0, 0, 0, 0x0F, 0, 0, 0};
    case 33:
        return {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08};
    case 34:
        return {0x80, 0x04, 0x20, 0x01, 0x40, 0x08, 0x02, 0x10};
    case 35:
        return {0xC0, 0xC0, 0x0C, 0x0C, 0, 0x30, 0x33, 0x03};
    case 36:
        return {0x81, 0x42, 0x24, 0x18, 0, 0, 0, 0};
    case 37:
        return {0x06, 0x09, 0x90, 0x60, 0, 0, 0, 0};
    case 38:
        return {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81};
    case 39:
        return {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08};
    case 40:
        return {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51};
    case 41:
        return {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0};
    case 42:
        return {0, 0x10, 0x08, 0x10, 0, 0x01, 0x80, 0x01};
    case 43:
        return {0xAA, 0, 0x80, 0, 0x80, 0, 0x80, 0};
    case 44:
        return {0x80, 0, 0x22, 0, 0x08, 0, 0x22, 0};
    case 45:
        return {0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01};
    case 46:
        return {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99};
    case 47:
        return {0xEE, 0x91, 0xF1, 0xF1, 0xEE, 0x19, 0x1F, 0x1F};
    case 48:
        return {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88};
    case 49:
        return {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33};
    case 50:
        return {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F};
    case 51:
        return {0x41, 0x22, 0x14, 0x08, 0x14, 0x22, 0x41, 0x80};
    case 52:
        return {0x10, 0x38, 0x7C, 0xFE, 0x7C, 0x38, 0x10, 0x00};
    default:
        return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    }
}

} // namespace kestle::capture
