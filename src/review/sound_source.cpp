// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/sound_source.h"

#include <algorithm>

namespace kestle::review {

namespace {

std::uint32_t le32(std::string_view s, std::size_t at) {
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}
std::uint16_t le16(std::string_view s, std::size_t at) {
    return std::uint16_t(std::uint8_t(s[at]) | std::uint8_t(s[at + 1]) << 8);
}

} // namespace

Result<WavLayout> parseWavLayout(std::string_view head, std::uint64_t fileSize) {
    if (head.size() < 12 || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE")
        return Error{"not a WAV file"};
    WavLayout w;
    bool format = false;
    std::size_t at = 12;
    while (at + 8 <= head.size()) {
        const std::string_view id = head.substr(at, 4);
        const std::uint64_t size = le32(head, at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > head.size())
                return Error{"the WAV format chunk is cut short"};
            const std::uint16_t tag = le16(head, body);
            w.channels = le16(head, body + 2);
            w.rate = int(le32(head, body + 4));
            w.bits = le16(head, body + 14);
            // WAVE_FORMAT_EXTENSIBLE carries PCM's tag in its sub-format.
            const bool pcm = tag == 1 || (tag == 0xFFFE && size >= 40 && body + 26 <= head.size() &&
                                          le16(head, body + 24) == 1);
            if (!pcm || w.channels < 1 || w.channels > 8 || w.rate < 1000 || w.rate > 384000 ||
                (w.bits != 8 && w.bits != 16 && w.bits != 24 && w.bits != 32))
                return Error{"the WAV file is not integer PCM this program can read"};
            format = true;
        } else if (id == "data") {
            if (!format)
                return Error{"the WAV file has samples before its format"};
            w.dataOffset = body;
            const std::uint64_t held = fileSize > body ? fileSize - body : 0;
            w.dataBytes = std::min(size, held);
            w.dataBytes -= w.dataBytes % std::uint64_t(w.frameBytes());
            return w;
        }
        at = body + size + (size & 1);
    }
    return Error{"the WAV file has no samples chunk in its first 64 KiB"};
}

void decodePcm(const WavLayout& w, std::string_view bytes, std::span<float> out) {
    const std::size_t frame = std::size_t(w.frameBytes()), step = std::size_t(w.bits / 8);
    const std::size_t n = std::min(out.size(), bytes.size() / frame);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const float scale = 1.0f / float(w.channels);
    for (std::size_t i = 0; i < n; ++i, p += frame) {
        float sum = 0;
        for (int c = 0; c < w.channels; ++c) {
            const unsigned char* s = p + std::size_t(c) * step;
            switch (w.bits) {
            case 8:
                sum += float(int(s[0]) - 128) / 128.0f;
                break;
            case 16:
                sum += float(std::int16_t(s[0] | s[1] << 8)) / 32768.0f;
                break;
            case 24:
                sum += float(std::int32_t(std::uint32_t(s[0]) << 8 | std::uint32_t(s[1]) << 16 |
                                          std::uint32_t(s[2]) << 24)) /
                       2147483648.0f;
                break;
            default:
                sum += float(std::int32_t(std::uint32_t(s[0]) | std::uint32_t(s[1]) << 8 |
                                          std::uint32_t(s[2]) << 16 | std::uint32_t(s[3]) << 24)) /
                       2147483648.0f;
            }
        }
        out[i] = sum * scale;
    }
}

} // namespace kestle::review
