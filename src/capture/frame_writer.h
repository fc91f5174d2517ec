// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stores pictures of the video as JPEG files, on a thread of its own, so
// that a snapshot costs the window thread nothing. An existing file is
// never replaced: the picture gets the first free variant of its name.
#include "capture/capture_controls.h"

#include <functional>
#include <memory>
#include <string>

namespace kestle::capture {

class FrameWriter {
  public:
    // Writes what it was given (within half a second), then ends.
    virtual ~FrameWriter() = default;
    // Any thread. `done(path it got, error)` runs on the writer's thread;
    // the error is empty on success.
    virtual void write(std::shared_ptr<const VideoFrame> frame, std::string path,
                       std::function<void(std::string, std::string)> done) = 0;
};

inline constexpr int kSnapshotQuality = 90;

// Qt's JPEG encoder.
std::unique_ptr<FrameWriter> makeJpegWriter();

} // namespace kestle::capture
