// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/recording_monitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>

namespace kestle::capture {

namespace {

constexpr double kMjpegBytesPerPixel = 0.24; // measured: 2.2 MB/s at 640x480, 30 fps, quality 85
constexpr double kVp8BytesPerSecond = 2000000.0 / 8; // its target bit rate
constexpr std::size_t kRateSamples = 10;             // the rate of the last ten measurements

std::string clockText(std::int64_t seconds) {
    char b[32];
    if (seconds >= 3600)
        std::snprintf(b, sizeof b, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
    else
        std::snprintf(b, sizeof b, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return b;
}

std::string roomText(std::int64_t seconds) {
    if (seconds >= 2 * 3600)
        return "about " + std::to_string(seconds / 3600) + " h";
    return "about " + std::to_string(seconds / 60) + " min";
}

} // namespace

std::optional<double> videoBytesPerSecond(const std::string& format,
                                          const std::string& compressor) {
    static const std::regex kFormat(R"((\d+)x(\d+)\b.*?\b(\d+) fps)");
    std::smatch m;
    if (!std::regex_search(format, m, kFormat))
        return std::nullopt;
    const double pixels = std::stod(m[1]) * std::stod(m[2]), fps = std::stod(m[3]);
    if (compressor.empty())
        return pixels * 1.5 * fps;
    if (compressor == "MJPEG")
        return pixels * kMjpegBytesPerPixel * fps;
    if (compressor == "VP8")
        return kVp8BytesPerSecond;
    return std::nullopt;
}

std::string sizeText(std::uint64_t bytes) {
    char b[32];
    const double v = double(bytes);
    if (v >= 1e9)
        std::snprintf(b, sizeof b, "%.1f GB", v / 1e9);
    else if (v >= 1e6)
        std::snprintf(b, sizeof b, "%.0f MB", v / 1e6);
    else
        std::snprintf(b, sizeof b, "%.0f kB", v / 1e3);
    return b;
}

std::string rateText(double bytesPerSecond) {
    char b[64];
    if (bytesPerSecond >= 1e6)
        std::snprintf(b, sizeof b, "about %.0f MB/s", bytesPerSecond / 1e6);
    else
        std::snprintf(b, sizeof b, "about %.0f kB/s", bytesPerSecond / 1e3);
    return std::string(b) + ", " + sizeText(std::uint64_t(bytesPerSecond * 60)) + " a minute";
}

void RecordingMonitor::notice(const RecordingNotice& n, std::int64_t nowMs) {
    auto same = [&n](const Recording& r) { return r.source == n.source && r.file == n.file; };
    std::erase_if(running_, same);
    if (!n.finished)
        running_.push_back({n.source, n.file, nowMs, 0});
    samples_.clear(); // another set of files: the rate starts again
}

void RecordingMonitor::measured(const std::vector<std::uint64_t>& bytes, std::uint64_t freeBytes,
                                std::int64_t nowMs) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < bytes.size() && i < running_.size(); ++i) {
        running_[i].bytes = bytes[i];
        total += bytes[i];
    }
    free_ = freeBytes;
    samples_.emplace_back(nowMs, total);
    if (samples_.size() > kRateSamples)
        samples_.erase(samples_.begin());
}

std::optional<double> RecordingMonitor::bytesPerSecond() const {
    if (samples_.size() < 2 || samples_.back().first <= samples_.front().first)
        return std::nullopt;
    const double grown = double(samples_.back().second) - double(samples_.front().second);
    return std::max(0.0, grown * 1000 / double(samples_.back().first - samples_.front().first));
}

std::optional<std::int64_t> RecordingMonitor::roomSeconds() const {
    const auto rate = bytesPerSecond();
    if (!free_ || !rate || *rate <= 0)
        return std::nullopt;
    return std::int64_t(double(*free_) / *rate);
}

bool RecordingMonitor::warning() const {
    const auto room = roomSeconds();
    return recording() && room && *room < kRoomWarningSeconds;
}

std::string RecordingMonitor::text(std::int64_t nowMs) const {
    if (running_.empty())
        return {};
    std::string t = "REC";
    for (const Recording& r : running_) {
        const std::size_t slash = r.file.find_last_of('/');
        t += std::string(r.source == CaptureError::Source::Audio ? " sound " : " video ") +
             (slash == std::string::npos ? r.file : r.file.substr(slash + 1)) + " " +
             clockText(std::max<std::int64_t>(0, nowMs - r.startedMs) / 1000) + " " +
             sizeText(r.bytes) + ";";
    }
    t.pop_back();
    if (free_) {
        t += " | " + sizeText(*free_) + " free";
        if (const auto room = roomSeconds())
            t += warning() ? ": ONLY " + roomText(*room) + " OF RECORDING LEFT"
                           : ", " + roomText(*room) + " of recording";
    }
    return t;
}

} // namespace kestle::capture
