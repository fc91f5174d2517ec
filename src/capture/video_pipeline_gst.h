// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The video pipeline: a camera (or the test pattern) through rotation,
// inversion and overlays to a tee, with the live-picture branch to an
// appsink and one branch per AVI recording, added and removed while the
// picture runs on.
//
//   source ! [jpegdec] ! videoconvert ! BGRx ! videoflip ! overlaycomposition ! tee
//   tee. ! queue (leaky) ! appsink                      the picture
//   tee. ! queue ! videorate ! encoder ! avimux ! filesink   each recording
//
// Threads: every member runs on the worker given at construction; events
// are reported there too. The streaming threads only touch the FrameHub.
#include "capture/capture_controls.h"
#include "capture/video_frames_gst.h"
#include "support/gst_glue.h"
#include "support/lifetime.h"
#include "support/worker_thread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestle::capture {

struct SourceSpec {
    std::shared_ptr<void> device; // a GstDevice; null: the test pattern
    std::string caps;             // the chosen format
    int fpsNum = 30, fpsDen = 1;
    bool operator==(const SourceSpec& o) const { return device == o.device && caps == o.caps; }
};

// AVI encoders: a GStreamer element with one whole-number setting, or none
// (`element` empty) for uncompressed I420.
struct EncoderSpec {
    std::string element;  // "jpegenc", "vp8enc", "pngenc", or empty
    std::string property; // "quality", "target-bitrate", "compression-level"
    int value = 0;        // in the property's unit
};

struct RecordSpec {
    int id = 0;
    std::string path;
    EncoderSpec encoder;
};

class VideoPipeline {
  public:
    struct Events {
        // The source failed or went away; its recordings were ended.
        std::function<void(const std::string& reason)> sourceStopped;
        // A recording's file is finished (`reason` empty) or was cut short.
        std::function<void(int id, const std::string& path, const std::string& reason)>
            recordingEnded;
    };

    VideoPipeline(WorkerThread& worker, FrameHub& hub, Events events);
    ~VideoPipeline();
    VideoPipeline(const VideoPipeline&) = delete;
    VideoPipeline& operator=(const VideoPipeline&) = delete;

    // Runs the source; a running pipeline with the same source goes on. A
    // new source waits until no recording runs. Returns an error text.
    std::string start(const SourceSpec& source);
    // Stops the picture once the recordings have ended.
    void stop();
    bool running() const { return pipeline_ != nullptr; }

    // Starts a recording into `r.path` (an empty file made for it).
    std::string record(const RecordSpec& r);
    // Ends a recording: no more pictures reach it, its file is finished.
    void endRecording(int id);
    bool recording() const;

    // Rotation position 0 to 11; while a recording runs it waits for its end
    // (an AVI keeps one picture size).
    void setRotation(int position);
    // The camera's own colour settings, where it has them.
    std::vector<Setting> colorBalance() const;
    void setColorBalance(const std::string& name, int value);

    // Ends every recording and waits at most `limit` for their files to be
    // finished, then stops everything.
    void shutdown(std::chrono::milliseconds limit);

  private:
    struct Branch;

    std::string build(const SourceSpec& source);
    void teardown();
    void applyRotation();
    void onMessage(GstMessage* msg);
    void finishBranch(int id, const std::string& reason);
    Branch* branch(int id);
    void maybeStop();

    WorkerThread& worker_;
    FrameHub& hub_;
    Events events_;
    gst::Ptr<GstElement> pipeline_;
    std::unique_ptr<gst::BusWatch> bus_;
    GstElement* tee_ = nullptr;
    GstElement* flip_ = nullptr;
    GstElement* source_ = nullptr;
    SourceSpec running_;
    std::unique_ptr<SourceSpec> waitingSource_;
    std::vector<std::unique_ptr<Branch>> branches_;
    int rotation_ = 0, appliedRotation_ = 0;
    bool stopWanted_ = false;
    // Shared with the streaming threads: set when a branch's file got its end.
    std::shared_ptr<struct EosSignal> eos_;
    // Ends with the pipeline: tasks still queued on the worker find it ended.
    Lifetime life_;
};

} // namespace kestle::capture
