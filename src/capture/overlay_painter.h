// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws the overlay layers as pictures: premultiplied ARGB pixels placed on
// the video picture. Painting happens when a setting changes (and for the
// date when its text changes), never per frame.
#include "capture/overlay.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestle::capture {

struct OverlayBitmap {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, premultiplied, row after row
    bool empty() const { return width <= 0 || height <= 0; }
};

// Threads: one call at a time, from any thread.
class OverlayPainter {
  public:
    virtual ~OverlayPainter() = default;
    // `problem` gets what could not be honoured (a texture that cannot be
    // read: the text is drawn plain instead).
    virtual OverlayBitmap paintText(const TextOverlay& t, std::string& problem) = 0;
    virtual OverlayBitmap paintDate(const DateOverlay& d, const std::string& text) = 0;
    // An empty bitmap and `problem` when the picture cannot be read.
    virtual OverlayBitmap paintImage(const ImageOverlay& i, std::string& problem) = 0;
};

// Qt's painter; nullptr when the process has no Qt GUI application (fonts
// need one), which headless runs and the window both create.
std::unique_ptr<OverlayPainter> makeOverlayPainter();

} // namespace kestle::capture
