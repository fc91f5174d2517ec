// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// WebRTC's voice activity detector (libwebrtc-audio-processing 0.3, its
// AudioProcessing module with only voice detection enabled), frame by
// frame. The module resamples any input rate itself. One detector per
// thread; not copyable.
#include <memory>

namespace kestle::review {

class VoiceDetector {
  public:
    // `rate`: samples per second of the frames; each frame is rate / 100
    // samples (10 ms).
    explicit VoiceDetector(int rate);
    ~VoiceDetector();
    VoiceDetector(const VoiceDetector&) = delete;
    VoiceDetector& operator=(const VoiceDetector&) = delete;

    int frameSamples() const { return frame_; }
    // True when the detector hears a voice in this frame (frameSamples()
    // samples, -1..1). False when the module failed.
    bool voiced(const float* frame);

  private:
    struct Module;
    std::unique_ptr<Module> m_;
    int frame_;
};

} // namespace kestle::review
