// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One pass over a recording: its overview spectrogram, and per 10 ms frame
// its level and whether WebRTC's detector hears a voice. The recording is
// read a second at a time (never whole); the voice detector runs on a
// worker thread of its own beside the transforms, so that both cores work.
// Any thread (the caller's is one of the two).
#include "review/sound_source.h"
#include "review/spectrogram.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace kestle::review {

// A frame's level when it is silent: -120 dBFS.
inline constexpr std::int16_t kSilentLevel = -12000;

struct SoundAnalysis {
    int rate = 0;
    std::uint64_t samples = 0;
    int frameSamples = 0;            // samples per frame: rate / 100
    std::vector<std::int16_t> level; // per frame: RMS level in hundredths of a dBFS
    std::vector<std::uint8_t> voice; // per frame: 1 when a voice is heard
    Spectrogram overview;            // kOverviewColumnsPerSecond
    double frameMs() const { return rate ? 1000.0 * frameSamples / rate : 10; }
    double durationMs() const { return rate ? 1000.0 * double(samples) / rate : 0; }
};

// `progress` (share 0..1) is called now and then on the caller's thread.
// An error when the source fails or `stop` was set.
Result<SoundAnalysis> analyseSound(SoundSource& source, const std::atomic<bool>* stop = nullptr,
                                   const std::function<void(double)>& progress = {});

} // namespace kestle::review
