// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/overlay_layers_gst.h"

#include <cstring>

namespace kestle::capture {

namespace {

GstVideoOverlayRectangle* rectangleOf(const OverlayBitmap& b) {
    const gsize bytes = b.pixels.size() * sizeof(std::uint32_t);
    GstBuffer* buf = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    gst_buffer_fill(buf, 0, b.pixels.data(), bytes);
    // Premultiplied 0xAARRGGBB words are B G R A bytes: the composition's RGB format.
    gst_buffer_add_video_meta(buf, GST_VIDEO_FRAME_FLAG_NONE,
                              GST_VIDEO_OVERLAY_COMPOSITION_FORMAT_RGB, static_cast<guint>(b.width),
                              static_cast<guint>(b.height));
    GstVideoOverlayRectangle* r = gst_video_overlay_rectangle_new_raw(
        buf, b.left, b.top, static_cast<guint>(b.width), static_cast<guint>(b.height),
        GST_VIDEO_OVERLAY_FORMAT_FLAG_PREMULTIPLIED_ALPHA);
    gst_buffer_unref(buf);
    return r;
}

} // namespace

OverlayLayers::OverlayLayers(FrameHub& hub, std::unique_ptr<OverlayPainter> painter,
                             std::function<void(const std::string&)> problem)
    : hub_(hub), painter_(std::move(painter)), problem_(std::move(problem)) {}

void OverlayLayers::update(const OverlaySettings& s) {
    if (!painter_)
        return;
    const bool all = first_;
    first_ = false;
    std::string problem;
    if (all || !(s.text == settings_.text)) {
        text_ = s.text.placed && !s.text.text.empty() ? painter_->paintText(s.text, problem)
                                                      : OverlayBitmap{};
    }
    if (all || !(s.image == settings_.image)) {
        image_ = s.image.placed && !s.image.path.empty() ? painter_->paintImage(s.image, problem)
                                                         : OverlayBitmap{};
    }
    const bool dateChanged = all || !(s.date == settings_.date);
    settings_ = s;
    if (dateChanged) {
        dateText_.clear();
        tick(); // composes
    } else {
        compose();
    }
    if (!problem.empty() && problem_)
        problem_(problem);
}

bool OverlayLayers::tick() {
    if (!painter_ || !settings_.date.shown) {
        if (!date_.empty()) {
            date_ = {};
            compose();
        }
        return false;
    }
    const std::string text = dateStamp(settings_.date.format, systemLocalNow());
    if (text != dateText_) {
        dateText_ = text;
        date_ = painter_->paintDate(settings_.date, text);
        compose();
    }
    return true;
}

void OverlayLayers::compose() {
    GstVideoOverlayComposition* c = nullptr;
    const OverlayBitmap* layers[] = {
        settings_.image.shown ? &image_ : nullptr,
        settings_.text.shown ? &text_ : nullptr,
        settings_.date.shown ? &date_ : nullptr,
    };
    for (const OverlayBitmap* b : layers) {
        if (!b || b->empty())
            continue;
        GstVideoOverlayRectangle* r = rectangleOf(*b);
        if (!c)
            c = gst_video_overlay_composition_new(r);
        else
            gst_video_overlay_composition_add_rectangle(c, r);
        gst_video_overlay_rectangle_unref(r);
    }
    hub_.setComposition(c);
}

} // namespace kestle::capture
