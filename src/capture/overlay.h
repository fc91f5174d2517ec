// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the video overlays show, as the operations set it, and the pure rules
// behind them: the date formats, the rotations and flips, the font and text
// styles and the hatch patterns. Positions are in pixels of the picture.
#include "forms/control.h"
#include "support/datetime.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestle::capture {

using forms::Rgb;

// Text rendering styles (`cbotextstyle`).
enum class TextStyle { Normal = 0, Outline, FilledOutline, Hatch, Texture };
inline constexpr int kTextStyleCount = 5;

// Font style positions 0 to 4 of the font style lists.
struct FontFlags {
    bool bold = false, italic = false, underline = false;
};
FontFlags fontFlags(int style);

struct TextOverlay {
    bool shown = true;
    bool placed = false; // DrawText has given it a text and a place
    int left = 0, top = 0;
    std::string text; // lines joined by "\n\r" (LF CR) as DrawText gets them
    std::string fontName = "Arial";
    int fontSize = 12;
    int fontStyle = 0;
    TextStyle style = TextStyle::Normal;
    Rgb color = 0xFFFFFF;
    Rgb outlineBack = 0xFFFFFF, outlineBorder = 0x000000;
    int hatchStyle = 0;
    Rgb hatchFore = 0xFFFFFF, hatchBack = 0x000000;
    std::string textureImage;
    bool operator==(const TextOverlay&) const = default;
};

struct DateOverlay {
    bool shown = false; // ShowDateTime
    int format = 7;     // "mm/dd/yyyy hh:mm:ss" until DrawDateTime sets one
    int left = 0, top = 0;
    std::string fontName = "Arial";
    double fontSize = 16;
    int fontStyle = 0;
    Rgb color = 0xFFFFFF;
    bool operator==(const DateOverlay&) const = default;
};

struct ImageOverlay {
    bool shown = true;
    bool placed = false; // DrawImage has given it a picture
    int left = 0, top = 0;
    std::string path;
    Rgb transparent = 0x000000;
    int alpha = 255;
    bool operator==(const ImageOverlay&) const = default;
};

struct OverlaySettings {
    TextOverlay text;
    DateOverlay date;
    ImageOverlay image;
    bool operator==(const OverlaySettings&) const = default;
};

// The lines of an overlay text: split at "\n\r", an empty line kept.
std::vector<std::string> overlayLines(const std::string& text);

// The 19 formats of the date-time stamp, in list order.
inline constexpr int kDateFormatCount = 19;
const std::array<const char*, kDateFormatCount>& dateFormatNames();
// The stamp in format `position` (0 to 18; others give position 0): "mm" is
// the month in the date part and the minutes after the time; hours 00-23.
std::string dateStamp(int position, const LocalDateTime& t);

// Rotations and flips of `cborotate`, positions 0 to 11.
inline constexpr int kRotationCount = 12;
const std::array<const char*, kRotationCount>& rotationNames();
// The picture's orientation for a position, as GStreamer numbers it
// (GstVideoOrientationMethod: 0 identity, 1 90r, 2 180, 3 90l, 4 horiz,
// 5 vert, 6 ul-lr, 7 ur-ll).
int orientationOf(int position);
// True when the position turns the picture on its side (width and height swap).
bool swapsSides(int position);

// The hatch styles of `cbohashbrushstyle`: 53 patterns, then "HatchStyleTotal ".
inline constexpr int kHatchPatternCount = 53;
const std::array<const char*, kHatchPatternCount + 1>& hatchStyleNames();
// 8 x 8 pattern of a hatch style, one byte per row, bit 7 the leftmost
// pixel; a set bit is the fore colour. "HatchStyleTotal" (53) and anything
// outside the list are solid fore colour.
std::array<std::uint8_t, 8> hatchPattern(int style);

} // namespace kestle::capture
