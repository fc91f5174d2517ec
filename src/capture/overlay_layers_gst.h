// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three overlay layers (text, date-time stamp, picture) painted when
// their settings change, and the date each second when its text changes,
// handed to the pipeline as one overlay composition.
//
// Threads: the worker of the video control; never per picture.
#include "capture/overlay_painter.h"
#include "capture/video_frames_gst.h"

#include <functional>
#include <memory>
#include <string>

namespace kestle::capture {

class OverlayLayers {
  public:
    // `problem` gets what could not be drawn (a picture that cannot be read).
    OverlayLayers(FrameHub& hub, std::unique_ptr<OverlayPainter> painter,
                  std::function<void(const std::string&)> problem);

    // Repaints the layers whose settings changed.
    void update(const OverlaySettings& s);
    // Repaints the date when its text changed; true while a date is shown.
    bool tick();

  private:
    void compose();

    FrameHub& hub_;
    std::unique_ptr<OverlayPainter> painter_;
    std::function<void(const std::string&)> problem_;
    OverlaySettings settings_;
    bool first_ = true;
    OverlayBitmap text_, date_, image_;
    std::string dateText_;
};

} // namespace kestle::capture
