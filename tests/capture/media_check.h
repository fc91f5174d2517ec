// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads back what capture wrote: WAV headers and samples, AVI structure
// (frames, size, rate, index) and JPEG pictures, independently of the code
// that wrote them.
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestle::capture::test {

namespace fs = std::filesystem;

inline std::string fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::uint32_t le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}
inline std::uint16_t le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

struct Wav {
    bool valid = false;
    std::uint32_t rate = 0, riffSize = 0, dataSize = 0;
    std::uint16_t format = 0, channels = 0, bits = 0;
    std::size_t fileSize = 0;
    std::vector<std::int16_t> samples; // what the file holds after the header
    double seconds() const { return rate ? double(samples.size()) / rate : 0; }
    // The header states exactly what the file holds.
    bool exact() const { return valid && riffSize == fileSize - 8 && dataSize == fileSize - 44; }
};

inline Wav readWav(const std::filesystem::path& p) {
    Wav w;
    const std::string b = fileBytes(p);
    w.fileSize = b.size();
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 8, "WAVEfmt ") != 0 ||
        b.compare(36, 4, "data") != 0)
        return w;
    w.riffSize = le32(b, 4);
    w.format = le16(b, 20);
    w.channels = le16(b, 22);
    w.rate = le32(b, 24);
    w.bits = le16(b, 34);
    w.dataSize = le32(b, 40);
    w.samples.resize((b.size() - 44) / 2);
    if (!w.samples.empty())
        std::memcpy(w.samples.data(), b.data() + 44, w.samples.size() * 2);
    w.valid = true;
    return w;
}

struct AviIndexEntry {
    std::string id;
    std::uint32_t flags = 0, offset = 0, size = 0;
};

struct Avi {
    bool valid = false, indexed = false;
    std::uint32_t width = 0, height = 0, microsPerFrame = 0, headerFrames = 0;
    std::uint32_t riffSize = 0, moviSize = 0, streamLength = 0, dmlhFrames = 0;
    std::size_t moviFourcc = 0;           // where 'movi' is: idx1 offsets count from there
    std::string codec;                    // the stream's handler, e.g. "MJPG"
    int frames = 0;                       // picture chunks in 'movi'
    std::vector<std::string> firstFrames; // the bytes of the first few pictures
    std::vector<AviIndexEntry> index;     // 'idx1'
    double fps() const { return microsPerFrame ? 1e6 / microsPerFrame : 0; }
};

// Walks the RIFF chunks: 'avih' and 'strh' for the header, '00dc'/'00db'
// chunks in 'movi' for the pictures, 'idx1' for the index.
inline Avi readAviBytes(const std::string& b) {
    Avi a;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "AVI ") != 0)
        return a;
    a.riffSize = le32(b, 4);
    std::vector<std::pair<std::size_t, std::size_t>> spans = {{12, b.size()}};
    while (!spans.empty()) {
        auto [at, end] = spans.back();
        spans.pop_back();
        while (at + 8 <= end) {
            const std::string id = b.substr(at, 4);
            const std::size_t size = le32(b, at + 4);
            const std::size_t body = at + 8;
            if (id == "LIST" && body + 4 <= b.size()) {
                // A list that runs past the end (a writer that died) holds what is there.
                if (b.compare(body, 4, "movi") == 0)
                    a.moviFourcc = body, a.moviSize = static_cast<std::uint32_t>(size);
                spans.push_back({body + 4, std::min(body + size, b.size())});
            }
            if (body + size > b.size())
                break;
            if (id == "LIST") {
            } else if (id == "avih" && size >= 40) {
                a.microsPerFrame = le32(b, body);
                a.headerFrames = le32(b, body + 16);
                a.width = le32(b, body + 32);
                a.height = le32(b, body + 36);
            } else if (id == "strh" && size >= 36 && a.codec.empty()) {
                a.codec = b.substr(body + 4, 4);
                a.streamLength = le32(b, body + 32);
            } else if (id == "dmlh" && size >= 4) {
                a.dmlhFrames = le32(b, body);
            } else if (id == "00dc" || id == "00db") {
                if (a.firstFrames.size() < 3)
                    a.firstFrames.push_back(b.substr(body, size));
                ++a.frames;
            } else if (id == "idx1") {
                a.indexed = size > 0;
                for (std::size_t e = body; e + 16 <= body + size; e += 16)
                    a.index.push_back(
                        {b.substr(e, 4), le32(b, e + 4), le32(b, e + 8), le32(b, e + 12)});
            }
            at = body + size + (size & 1);
        }
    }
    a.valid = a.width > 0;
    return a;
}
inline Avi readAvi(const std::filesystem::path& p) {
    return readAviBytes(fileBytes(p));
}

// The test tone's pitch.
inline constexpr double kToneHz = 440;

// The largest step away from one unbroken 440 Hz sine: a lost or doubled
// sample shows as a jump far beyond the rounding of 16-bit samples.
inline double worstSineBreak(const std::vector<std::int16_t>& s) {
    const double k = 2 * std::cos(2 * M_PI * kToneHz / 44100);
    double worst = 0;
    for (std::size_t i = 2; i < s.size(); ++i)
        worst = std::max(worst, std::abs(s[i] - (k * s[i - 1] - s[i - 2])));
    return worst;
}

// Mean of each colour over a picture: red, green, blue.
inline std::array<double, 3> meanColour(const QImage& img) {
    std::array<double, 3> sum{};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            sum[0] += qRed(c), sum[1] += qGreen(c), sum[2] += qBlue(c);
        }
    for (double& s : sum)
        s /= double(img.width()) * img.height();
    return sum;
}

} // namespace kestle::capture::test
