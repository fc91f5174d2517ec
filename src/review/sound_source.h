// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sound as the analysis reads it: blocks of mono samples from a position,
// whatever holds them (a WAV file of a bag, a test's generated signal).
// The analysis never holds a whole recording: it asks for one block at a
// time. Pure header and WAV layout parsing; any thread (one reader per
// source at a time).
#include "support/result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestle::review {

class SoundSource {
  public:
    virtual ~SoundSource() = default;
    virtual int rate() const = 0;             // samples per second
    virtual std::uint64_t frames() const = 0; // mono samples in all
    // Up to out.size() samples from `at` (scaled to -1..1, channels mixed);
    // how many were read: fewer only at the end. An error when the medium fails.
    virtual Result<std::size_t> read(std::uint64_t at, std::span<float> out) = 0;
};

// Where a WAV file's PCM samples lie, from its header.
struct WavLayout {
    int rate = 0;
    int channels = 0;
    int bits = 0;                 // 8, 16, 24 or 32 (integer PCM)
    std::uint64_t dataOffset = 0; // first byte of the samples
    std::uint64_t dataBytes = 0;  // whole frames only, within the file
    int frameBytes() const { return channels * bits / 8; }
    std::uint64_t frames() const {
        return frameBytes() ? dataBytes / std::uint64_t(frameBytes()) : 0;
    }
};

// The layout of a RIFF WAVE file whose first bytes are `head` (the first
// 64 KiB or the whole file, whichever is shorter) and whose size is
// `fileSize`. A data size beyond the file (a header a kill left
// provisional) is cut to what the file holds. An error says what is wrong.
Result<WavLayout> parseWavLayout(std::string_view head, std::uint64_t fileSize);

// Samples in `bytes` (whole frames of `layout`) mixed to mono floats.
void decodePcm(const WavLayout& layout, std::string_view bytes, std::span<float> out);

} // namespace kestle::review
