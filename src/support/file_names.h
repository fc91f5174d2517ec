// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one rule for the names of capture files (screen captures, audio,
// video and pictures): appath + time stamp + "_" + counter + suffix.
#include <cstdint>
#include <filesystem>
#include <string>

namespace kestle {

// The data folder as `appath` holds it: the folder with its trailing separator.
std::string appathText(const std::filesystem::path& dataDir);

// Next value of a 16-bit file counter (Asession, Bsession, session): counts
// up from 1 and comes back to 1 after 32767 instead of overflowing; the names
// also carry a time stamp, so they stay apart.
std::int16_t nextFileCounter(std::int16_t& counter);

// appath + stamp + "_" + counter + suffix, with nothing in between.
std::string captureFileName(const std::string& appath, const std::string& stamp, long counter,
                            const std::string& suffix);

} // namespace kestle
