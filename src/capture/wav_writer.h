// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A WAV file (16-bit PCM) that stays readable whatever happens to the
// program: the header is rewritten after every block of samples, so after a
// kill its sizes match what reached the file, and a stopped or empty
// recording has an exact header.
//
// Threads: any; calls are serialised inside (a finish waits for a write
// that is under way).
#include "support/result.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kestle::capture {

inline constexpr std::size_t kWavHeaderBytes = 44;

// The 44-byte header of a PCM file with `dataBytes` bytes of samples.
std::string wavHeader(std::uint32_t sampleRate, std::uint16_t channels, std::uint32_t dataBytes);
// The length in milliseconds that such a header states; nullopt when
// `header` is not one (too short, not PCM WAV, no byte rate).
std::optional<std::int64_t> wavDurationMs(std::string_view header);

class WavWriter {
  public:
    // Takes over `fd` (an empty file open for writing); closes it at the end.
    WavWriter(int fd, std::string path, std::uint32_t sampleRate, std::uint16_t channels);
    ~WavWriter(); // finish()es
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Writes the header of an empty recording.
    Status begin();
    // Appends 16-bit little-endian samples and updates the header. A failed
    // write (a full disk) keeps what was written whole and readable and
    // returns the reason; later appends fail at once.
    Status append(const void* bytes, std::size_t size);
    // Final header, file to disk, closed. Further calls do nothing.
    Status finish();

    const std::string& path() const { return path_; }
    std::uint64_t dataBytes() const;
    double seconds() const;

  private:
    Status writeHeader();

    mutable std::mutex m_;
    int fd_;
    std::string path_;
    std::uint32_t rate_;
    std::uint16_t channels_;
    std::uint64_t data_ = 0;
    std::string failure_;
};

} // namespace kestle::capture
