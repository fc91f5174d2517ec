// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the recording indicator says: which recordings run, for how long and
// how large, the free disk space and how long it lasts at the rate the files
// grow, with a warning under ten minutes of room; and how fast a video
// recording of a format fills the disk before it starts. No toolkit;
// window thread only.
#include "capture/capture_controls.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestle::capture {

// Bytes a second a video recording writes: exact when uncompressed (I420,
// 12 bits a pixel), the measured typical rate for MJPEG (about 2.2 MB/s at
// 640x480 and 30 fps) and the encoder's own bit rate for VP8. nullopt when
// the format's name ("640x480 30 fps", "640x480 YUY2 30 fps") gives no size
// and rate, or the compressor's rate depends on the picture (PNG).
std::optional<double> videoBytesPerSecond(const std::string& format, const std::string& compressor);
// "about 14 MB/s, 830 MB a minute".
std::string rateText(double bytesPerSecond);
// "1.4 GB", "830 MB", "12 kB".
std::string sizeText(std::uint64_t bytes);

// Below this much recording time left on the disk the indicator warns.
inline constexpr std::int64_t kRoomWarningSeconds = 10 * 60;

class RecordingMonitor {
  public:
    struct Recording {
        CaptureError::Source source;
        std::string file;
        std::int64_t startedMs = 0;
        std::uint64_t bytes = 0;
    };

    // A recording's file made or finished (the control's notice), at `nowMs`.
    void notice(const RecordingNotice& n, std::int64_t nowMs);
    // What was measured at `nowMs`: each running recording's size (in the
    // order of running()) and the free space where they are written.
    void measured(const std::vector<std::uint64_t>& bytes, std::uint64_t freeBytes,
                  std::int64_t nowMs);

    const std::vector<Recording>& running() const { return running_; }
    bool recording() const { return !running_.empty(); }
    // How fast the running files grow together, from the last measurements.
    std::optional<double> bytesPerSecond() const;
    // Seconds of recording the free space holds at that rate.
    std::optional<std::int64_t> roomSeconds() const;
    bool warning() const;
    // One line: "REC video night.avi 1:05 850 MB | 12.3 GB free, about 15 min".
    std::string text(std::int64_t nowMs) const;

  private:
    std::vector<Recording> running_;
    std::optional<std::uint64_t> free_;
    // (time, total bytes) of the last measurements, for the rate.
    std::vector<std::pair<std::int64_t, std::uint64_t>> samples_;
};

} // namespace kestle::capture
