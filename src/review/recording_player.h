// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plays a session's sound recording (a WAV file of the bag) from a moment,
// on the audio sink named in one place: audioSinkName(). The pipeline is
// never waited for: start() sets it going, and poll() (from a timer, every
// tenth of a second or so) seeks once it has prerolled, and notes the end
// or an error. Window thread only.
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace kestle::review {

// $KESTLE_AUDIO_SINK (an element name, e.g. "fakesink" for tests and
// benchmarks on a machine without a sound card), else "autoaudiosink".
std::string audioSinkName();

class RecordingPlayer {
  public:
    explicit RecordingPlayer(std::string sink = audioSinkName());
    ~RecordingPlayer();
    RecordingPlayer(const RecordingPlayer&) = delete;
    RecordingPlayer& operator=(const RecordingPlayer&) = delete;

    // Plays `wav` from `fromMs` into it; an error when GStreamer or the
    // sink cannot be had. What fails later is told by error().
    Status start(const std::filesystem::path& wav, std::int64_t fromMs);
    void stop();
    void poll();
    // True from start() until stop(), the end of the file or an error.
    bool active() const { return phase_ != Phase::Idle; }
    // Where playing has got to in the file, once it plays.
    std::optional<std::int64_t> positionMs() const;
    const std::string& error() const { return error_; }
    // The file start() was given last.
    const std::filesystem::path& file() const { return file_; }
    // Playing speed with the pitch kept (GStreamer's scaletempo): 0.5 to 2;
    // applies at once while playing, and to later starts.
    void setSpeed(double speed);
    double speed() const { return speed_; }
    // Plays [fromMs, toMs) of the file over and over, from the next start
    // on; nullopt: once to the end.
    void setLoop(std::optional<std::pair<std::int64_t, std::int64_t>> loop) { loop_ = loop; }

  private:
    enum class Phase { Idle, Prerolling, Seeking, Playing };
    struct Gst; // the pipeline and its bus
    std::string sink_;
    std::unique_ptr<Gst> gst_;
    Phase phase_ = Phase::Idle;
    std::int64_t fromMs_ = 0;
    std::string error_;
    std::filesystem::path file_;
    double speed_ = 1;
    std::optional<std::pair<std::int64_t, std::int64_t>> loop_;
    void seek(bool flush);
};

} // namespace kestle::review
