// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Geometry of forms on screen, without a toolkit: twips to pixels at a
// scale, the scale that fits a form into a space, keyboard mnemonics for
// captions.
#include <string>
#include <vector>

namespace kestle::forms {

inline constexpr int kTwipsPerPixel = 15; // at scale 1 (96 dpi)

struct PxRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PxRect&) const = default;
};

// A rectangle in twips at `scale`: the edges are rounded, not the sizes, so
// neighbours that touch in twips touch on screen at every scale.
PxRect toPixels(int left, int top, int width, int height, double scale);

// The largest scale at which a form of `designWidth` x `designHeight`
// twips fits into `width` x `height` pixels, keeping its proportions.
double fitScale(int width, int height, int designWidth, int designHeight);

// A window's frame moved, and first shrunk where it is larger, to lie
// inside `room` (a screen's free area); it moves as little as it can.
PxRect keepInside(PxRect frame, const PxRect& room);

// Captions with a keyboard mnemonic each ("&File"): a caption that has one
// keeps it; the others take the first letter or digit not yet taken in the
// list, else none. "&&" is a literal ampersand, not a mnemonic.
std::vector<std::string> withMnemonics(const std::vector<std::string>& captions);

// A caption without its mnemonic marks, as it reads: "&System Info..." ->
// "System Info...", "A && B" -> "A & B".
std::string withoutMnemonic(const std::string& caption);

} // namespace kestle::forms
