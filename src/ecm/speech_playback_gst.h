// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One voice played through GStreamer:
//   appsrc (S16LE, 22050 Hz, mono, timestamped) ! audioconvert ! audioresample ! sink
// Each voice has its own pipeline, so the voices sound independently.
#include "ecm/speech_espeak.h"

#include <memory>
#include <string>

namespace kestle::ecm {

// Called from the EspeakSpeech worker only (open, play, busyUntil); created
// and destroyed on any thread while the worker is not running.
class GstVoiceOutput final : public VoiceOutput {
  public:
    // `sink` is the pipeline's last element, e.g. "autoaudiosink".
    explicit GstVoiceOutput(std::string sink = "autoaudiosink");
    ~GstVoiceOutput() override;

    GstVoiceOutput(const GstVoiceOutput&) = delete;
    GstVoiceOutput& operator=(const GstVoiceOutput&) = delete;

    // A pipeline that cannot start (no sound device, missing elements)
    // leaves the voice discarding its audio silently: that is not an error.
    Status open() override;
    // Queues the utterance right after what this voice still has to play,
    // or shortly after now when it is quiet. A playback error switches the
    // voice to discarding and is returned once.
    Status play(const Samples& samples) override;
    SpeechClock::time_point busyUntil() const override { return busyUntil_; }

    // True when audio goes nowhere (set by open() or a playback error).
    bool discarding() const { return !pipeline_; }

  private:
    struct Pipeline;

    std::string sink_;
    std::unique_ptr<Pipeline> pipeline_;
    std::uint64_t nextPts_ = 0; // stream time (ns) where the next utterance may start
    SpeechClock::time_point busyUntil_ = SpeechClock::time_point::min();
};

} // namespace kestle::ecm
