// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/speech_playback_gst.h"

#include "support/gst_glue.h"
#include "support/gst_runtime.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <utility>

namespace kestle::ecm {

namespace {

// A quiet voice starts this far after now, so the first buffer is not late.
constexpr GstClockTime kHeadroom = 40 * GST_MSECOND;
// Buffer size: 100 ms of audio.
constexpr std::size_t kChunkSamples = kSpeechSampleRate / 10;

GstClockTime streamTime(std::size_t samples) {
    return gst_util_uint64_scale(samples, GST_SECOND, kSpeechSampleRate);
}

} // namespace

struct GstVoiceOutput::Pipeline {
    gst::Ptr<GstElement> pipeline;
    gst::Ptr<GstElement> source;
    std::unique_ptr<gst::BusWatch> bus;

    ~Pipeline() {
        if (pipeline) {
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
        }
    }

    // The errors that came (nobody else hears them); the first one's text.
    std::string takeError() {
        std::string text;
        while (gst::Message message = bus->take()) {
            if (text.empty()) {
                text = gst::errorText(message.get());
            }
        }
        return text;
    }

    // Running time of the pipeline; 0 until it has started playing (the
    // first buffer starts it).
    GstClockTime runningTime() const {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(pipeline.get(), &state, nullptr, 0);
        if (state != GST_STATE_PLAYING) {
            return 0;
        }
        GstClock* clock = gst_element_get_clock(pipeline.get());
        if (clock == nullptr) {
            return 0;
        }
        const GstClockTime now = gst_clock_get_time(clock);
        gst_object_unref(clock);
        const GstClockTime base = gst_element_get_base_time(pipeline.get());
        return now > base ? now - base : 0;
    }
};

GstVoiceOutput::GstVoiceOutput(std::string sink) : sink_(std::move(sink)) {}

GstVoiceOutput::~GstVoiceOutput() = default;

Status GstVoiceOutput::open() {
    if (!initGstreamer().ok()) {
        return {};
    }
    const std::string description =
        "appsrc name=src format=time "
        "caps=audio/x-raw,format=S16LE,rate=" +
        std::to_string(kSpeechSampleRate) +
        ",channels=1,layout=interleaved ! audioconvert ! audioresample ! " + sink_;
    auto candidate = std::make_unique<Pipeline>();
    GError* error = nullptr;
    candidate->pipeline = gst::own(gst_parse_launch(description.c_str(), &error));
    if (error != nullptr) {
        g_clear_error(&error);
        return {};
    }
    if (!candidate->pipeline || !GST_IS_BIN(candidate->pipeline.get())) {
        return {};
    }
    candidate->source = gst::own(gst_bin_get_by_name(GST_BIN(candidate->pipeline.get()), "src"));
    if (!candidate->source) {
        return {};
    }
    candidate->bus = std::make_unique<gst::BusWatch>(candidate->pipeline.get(), GST_MESSAGE_ERROR);
    // An audio sink opens its device on the way up; failing here means
    // there is nothing to play on. Prerolling waits for the first buffer.
    if (gst_element_set_state(candidate->pipeline.get(), GST_STATE_PLAYING) ==
            GST_STATE_CHANGE_FAILURE ||
        !candidate->takeError().empty()) {
        return {};
    }
    pipeline_ = std::move(candidate);
    return {};
}

Status GstVoiceOutput::play(const Samples& samples) {
    if (!pipeline_) {
        return {};
    }
    if (std::string failure = pipeline_->takeError(); !failure.empty()) {
        pipeline_.reset();
        busyUntil_ = SpeechClock::time_point::min();
        return Error{"Sound output failed: " + failure};
    }
    if (samples.empty()) {
        return {};
    }
    const GstClockTime now = pipeline_->runningTime();
    const GstClockTime start = std::max<GstClockTime>(nextPts_, now + kHeadroom);
    const bool gap = start != nextPts_;
    auto* source = GST_APP_SRC(pipeline_->source.get());
    for (std::size_t offset = 0; offset < samples.size(); offset += kChunkSamples) {
        const std::size_t count = std::min(kChunkSamples, samples.size() - offset);
        GstBuffer* buffer =
            gst_buffer_new_memdup(samples.data() + offset, count * sizeof(std::int16_t));
        GST_BUFFER_PTS(buffer) = start + streamTime(offset);
        GST_BUFFER_DURATION(buffer) = streamTime(offset + count) - streamTime(offset);
        if (offset == 0 && gap) {
            GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        }
        if (gst_app_src_push_buffer(source, buffer) != GST_FLOW_OK) { // takes the buffer
            pipeline_.reset();
            busyUntil_ = SpeechClock::time_point::min();
            return Error{"Sound output failed: the audio pipeline stopped"};
        }
    }
    nextPts_ = start + streamTime(samples.size());
    busyUntil_ = SpeechClock::now() + std::chrono::nanoseconds(nextPts_ - now);
    return {};
}

} // namespace kestle::ecm
