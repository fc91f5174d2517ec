// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analyses of recordings kept outside the bag, so that a night opens
// with its spectrograms at once the second time: one file per recording in
// $XDG_CACHE_HOME/kestle/ (else ~/.cache/kestle/), named by the recording's
// SHA-256 (as the bag's manifest gives it) and the format's version:
// "<sha256>.sound1". Nothing is ever written into a bag.
//
// Format (little-endian): "KSTLSND1", then u32 rate, u32 samples per frame,
// u64 samples, u64 frames, u32 rows, u32 overview columns per second, u64
// overview columns; then the frames' levels (i16 each), their voice flags
// (u8 each), and the overview's cells (u8, column after column). A file
// whose sizes do not agree with each other is not used. Written to a
// temporary file and renamed, so that a reader never sees half a file.
// Any thread.
#include "review/session_model.h"
#include "review/sound_analysis.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kestle::review {

std::filesystem::path soundCacheFolder();
std::filesystem::path soundCacheFile(const std::filesystem::path& folder,
                                     const std::string& sha256);

std::string encodeAnalysis(const SoundAnalysis& a);
Result<SoundAnalysis> decodeAnalysis(std::string_view bytes);

Result<SoundAnalysis> loadCachedAnalysis(const std::filesystem::path& folder,
                                         const std::string& sha256);
Status saveCachedAnalysis(const std::filesystem::path& folder, const std::string& sha256,
                          const SoundAnalysis& a);

// The analysis of a WAV recording of `bag` (`file` as the manifest names
// it, `sha256` its digest there): from the cache, else made (read through
// the bag's guarded reader) and cached. A cached analysis whose rate or
// length does not fit the file is made again. `fromCache`, when given,
// tells which. A cache that cannot be written is no error.
Result<SoundAnalysis> recordingAnalysis(const std::filesystem::path& bag, const std::string& file,
                                        const std::string& sha256,
                                        const std::filesystem::path& cacheFolder,
                                        const std::atomic<bool>* stop = nullptr,
                                        const std::function<void(double)>& progress = {},
                                        bool* fromCache = nullptr);

// The manifest's SHA-256 of a file of the model; empty when it has none.
std::string manifestDigest(const SessionModel& m, const std::string& file);

} // namespace kestle::review
