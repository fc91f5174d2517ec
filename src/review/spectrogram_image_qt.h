// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spectrograms as pictures (Qt glue): cells shaded from the recording's
// noise floor up, in a colour map for the day (dark violet to pale yellow)
// or for the night view (black to dim amber, nothing bright). Any thread.
#include "review/spectrogram.h"
#include "support/result.h"

#include <QImage>
#include <cstdint>
#include <filesystem>

namespace kestle::review {

// The colour of a shade 0..1 as 0xRRGGBB.
std::uint32_t spectrumColour(double shade, bool night);
// How a cell is shaded over a floor of `floorDb`: 6 dB under it is 0,
// 54 dB over it is 1.
double cellShade(std::uint8_t cell, double floorDb);

// Columns [from, to) of `s`, one pixel each, lowest band at the bottom.
QImage spectrogramImage(const Spectrogram& s, std::size_t from, std::size_t to, double floorDb,
                        bool night);
// The picture of all of `s`, scaled to `width` x `height`, with a time and
// a frequency scale, as a PNG file (written whole or not at all).
Status writeSpectrogramPng(const Spectrogram& s, double floorDb, const std::filesystem::path& png,
                           int width = 800, int height = 256);

} // namespace kestle::review
