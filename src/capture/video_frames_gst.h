// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Between the video pipeline's streaming threads and the rest: the newest
// picture (after rotation, inversion and overlays), snapshot requests
// waiting for a picture, the live-picture notice to the window, the overlay
// composition and the inversion switch.
//
// Threads: every member may be called from any thread.
#include "capture/capture_controls.h"
#include "capture/frame_writer.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestle::capture {

class FrameHub {
  public:
    using Done = std::function<void(std::string path, std::string error)>;

    explicit FrameHub(FrameWriter& writer) : writer_(writer) {}
    ~FrameHub();

    // The appsink's new picture (takes the sample).
    void onSample(GstSample* sample);
    // The picture stopped: no newest picture any more; waiting snapshots
    // fail with `reason`.
    void clear(const std::string& reason);

    std::shared_ptr<const VideoFrame> latest() const;
    // Saves the newest picture, or the next one when there is none yet
    // (then it returns true: the request waits).
    bool snapshot(std::string path, Done done);
    // Snapshots waiting longer than their time fail with `reason`.
    void expireSnapshots(std::chrono::steady_clock::time_point before, const std::string& reason);

    // Called after each new picture while set; the caller coalesces.
    void setOnPicture(std::function<void()> fn);

    // The overlays of every picture (the "draw" signal hands it out).
    void setComposition(GstVideoOverlayComposition* c); // takes it; nullptr: none
    GstVideoOverlayComposition* composition() const;    // a new reference, or nullptr
    std::atomic<bool> invert{false};

    // Turns a sample into a picture that keeps the sample mapped while used.
    static std::shared_ptr<const VideoFrame> frameOf(GstSample* sample);

  private:
    struct Waiting {
        std::string path;
        Done done;
        std::chrono::steady_clock::time_point since;
    };

    FrameWriter& writer_;
    mutable std::mutex m_;
    std::shared_ptr<const VideoFrame> latest_;
    std::vector<Waiting> waiting_;
    std::function<void()> onPicture_;
    GstVideoOverlayComposition* composition_ = nullptr;
};

} // namespace kestle::capture
