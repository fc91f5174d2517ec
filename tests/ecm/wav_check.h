// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the WAV files a wav:DIR speech run leaves and tells whether they
// hold real speech: 16-bit mono PCM with a 44-byte header, long and loud
// enough that it cannot be silence or a stub.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestle::ecm::testing {

struct WavSummary {
    bool valid = false;
    std::size_t samples = 0;
    double rms = 0;
};

inline WavSummary summarizeWav(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), {}};
    WavSummary s;
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(36, 4, "data") != 0)
        return s;
    s.valid = true;
    s.samples = (b.size() - 44) / 2;
    double sum = 0;
    for (std::size_t i = 0; i < s.samples; ++i) {
        const auto lo = static_cast<unsigned char>(b[44 + 2 * i]);
        const auto hi = static_cast<unsigned char>(b[45 + 2 * i]);
        const double v = static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
        sum += v * v;
    }
    s.rms = s.samples ? std::sqrt(sum / static_cast<double>(s.samples)) : 0;
    return s;
}

// At least 0.1 s at 22050 Hz and clearly above silence.
inline bool holdsSpeech(const WavSummary& s) {
    return s.valid && s.samples > 2205 && s.rms > 200;
}

// File names in `dir` that start with `prefix`, sorted.
inline std::vector<std::string> wavFiles(const std::filesystem::path& dir,
                                         const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string n = e.path().filename().string();
        if (n.starts_with(prefix) && n.ends_with(".wav"))
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kestle::ecm::testing
