// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/video_frames_gst.h"

namespace kestle::capture {

namespace {

struct MappedSample {
    GstSample* sample = nullptr;
    GstBuffer* buffer = nullptr;
    GstMapInfo map{};
    VideoFrame frame;
    ~MappedSample() {
        if (buffer)
            gst_buffer_unmap(buffer, &map);
        if (sample)
            gst_sample_unref(sample);
    }
};

} // namespace

FrameHub::~FrameHub() {
    if (composition_)
        gst_video_overlay_composition_unref(composition_);
}

std::shared_ptr<const VideoFrame> FrameHub::frameOf(GstSample* sample) {
    GstVideoInfo info;
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer || !gst_video_info_from_caps(&info, caps)) {
        gst_sample_unref(sample);
        return nullptr;
    }
    auto m = std::make_shared<MappedSample>();
    m->sample = sample;
    if (!gst_buffer_map(buffer, &m->map, GST_MAP_READ))
        return nullptr;
    m->buffer = buffer;
    m->frame.width = GST_VIDEO_INFO_WIDTH(&info);
    m->frame.height = GST_VIDEO_INFO_HEIGHT(&info);
    m->frame.stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    m->frame.pixels = m->map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, 0);
    // The frame lives inside the mapped sample it keeps alive.
    return std::shared_ptr<const VideoFrame>(m, &m->frame);
}

void FrameHub::onSample(GstSample* sample) {
    std::shared_ptr<const VideoFrame> frame = frameOf(sample);
    if (!frame)
        return;
    std::vector<Waiting> due;
    std::function<void()> notify;
    {
        std::lock_guard l(m_);
        latest_ = frame;
        due.swap(waiting_);
        notify = onPicture_;
    }
    for (Waiting& w : due)
        writer_.write(frame, std::move(w.path), std::move(w.done));
    if (notify)
        notify();
}

void FrameHub::clear(const std::string& reason) {
    std::vector<Waiting> failed;
    {
        std::lock_guard l(m_);
        latest_.reset();
        failed.swap(waiting_);
    }
    for (Waiting& w : failed)
        w.done(w.path, reason);
}

std::shared_ptr<const VideoFrame> FrameHub::latest() const {
    std::lock_guard l(m_);
    return latest_;
}

bool FrameHub::snapshot(std::string path, Done done) {
    std::shared_ptr<const VideoFrame> frame;
    {
        std::lock_guard l(m_);
        if (!latest_) {
            waiting_.push_back(
                {std::move(path), std::move(done), std::chrono::steady_clock::now()});
            return true;
        }
        frame = latest_;
    }
    writer_.write(std::move(frame), std::move(path), std::move(done));
    return false;
}

void FrameHub::expireSnapshots(std::chrono::steady_clock::time_point before,
                               const std::string& reason) {
    std::vector<Waiting> failed;
    {
        std::lock_guard l(m_);
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (it->since < before) {
                failed.push_back(std::move(*it));
                it = waiting_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Waiting& w : failed)
        w.done(w.path, reason);
}

void FrameHub::setOnPicture(std::function<void()> fn) {
    std::lock_guard l(m_);
    onPicture_ = std::move(fn);
}

void FrameHub::setComposition(GstVideoOverlayComposition* c) {
    GstVideoOverlayComposition* old;
    {
        std::lock_guard l(m_);
        old = composition_;
        composition_ = c;
    }
    if (old)
        gst_video_overlay_composition_unref(old);
}

GstVideoOverlayComposition* FrameHub::composition() const {
    std::lock_guard l(m_);
    return composition_ ? gst_video_overlay_composition_ref(composition_) : nullptr;
}

} // namespace kestle::capture
