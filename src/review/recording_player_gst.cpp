// SPDX-License-Identifier: GPL-3.0-or-later
// The player's GStreamer glue: playbin with the chosen audio sink.
#include "review/recording_player.h"

#include "support/gst_glue.h"
#include "support/gst_runtime.h"

#include <algorithm>
#include <cstdlib>

namespace kestle::review {

struct RecordingPlayer::Gst {
    gst::Ptr<GstElement> play;
    gst::BusWatch bus;
    explicit Gst(gst::Ptr<GstElement> p)
        : play(std::move(p)),
          bus(play.get(), GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_EOS |
                                         GST_MESSAGE_ERROR | GST_MESSAGE_SEGMENT_DONE)) {}
    ~Gst() {
        // Going to NULL never waits for a stream thread.
        gst_element_set_state(play.get(), GST_STATE_NULL);
    }
};

std::string audioSinkName() {
    const char* env = std::getenv("KESTLE_AUDIO_SINK");
    return env && *env ? env : "autoaudiosink";
}

RecordingPlayer::RecordingPlayer(std::string sink) : sink_(std::move(sink)) {}

RecordingPlayer::~RecordingPlayer() {
    stop();
}

Status RecordingPlayer::start(const std::filesystem::path& wav, std::int64_t fromMs) {
    stop();
    error_.clear();
    if (Status s = initGstreamer(); !s)
        return s;
    gst::Ptr<GstElement> play = gst::own(gst_element_factory_make("playbin", nullptr));
    gst::Ptr<GstElement> sink = gst::own(gst_element_factory_make(sink_.c_str(), nullptr));
    if (!play || !sink)
        return Error{"the sound output " + sink_ + " is not available"};
    // A fake sink plays in real time too, so that its position is telling.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink.get()), "sync"))
        g_object_set(sink.get(), "sync", TRUE, nullptr);
    gchar* uri = gst_filename_to_uri(std::filesystem::absolute(wav).c_str(), nullptr);
    g_object_set(play.get(), "uri", uri, "audio-sink", sink.get(), nullptr); // playbin refs it
    g_free(uri);
    // Faster or slower with the pitch kept.
    if (gst::Ptr<GstElement> tempo = gst::own(gst_element_factory_make("scaletempo", nullptr)))
        g_object_set(play.get(), "audio-filter", tempo.get(), nullptr); // playbin refs it
    file_ = wav;
    gst_ = std::make_unique<Gst>(std::move(play));
    fromMs_ = fromMs;
    phase_ = Phase::Prerolling;
    if (gst_element_set_state(gst_->play.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
        stop();
        return Error{wav.string() + " cannot be played"};
    }
    return {};
}

void RecordingPlayer::stop() {
    gst_.reset();
    phase_ = Phase::Idle;
}

void RecordingPlayer::poll() {
    while (gst_) {
        const gst::Message m = gst_->bus.take();
        if (!m)
            return;
        const GstMessageType type = GST_MESSAGE_TYPE(m.get());
        if (type == GST_MESSAGE_SEGMENT_DONE) { // the loop's end: round again
            seek(false);
            continue;
        }
        if (type == GST_MESSAGE_ERROR)
            error_ = gst::errorText(m.get());
        if (type != GST_MESSAGE_ASYNC_DONE) {
            stop();
            return;
        }
        if (phase_ == Phase::Prerolling && (fromMs_ > 0 || speed_ != 1 || loop_)) {
            phase_ = Phase::Seeking;
            seek(true);
        } else if (phase_ != Phase::Playing) {
            phase_ = Phase::Playing;
            gst_element_set_state(gst_->play.get(), GST_STATE_PLAYING);
        }
    }
}

// From the start (or the loop's start) at the speed chosen; a loop is a
// segment whose end is told, not an end of stream.
void RecordingPlayer::seek(bool flush) {
    const std::int64_t from = loop_ ? loop_->first : fromMs_;
    int flags = GST_SEEK_FLAG_ACCURATE | (flush ? GST_SEEK_FLAG_FLUSH : 0);
    if (loop_)
        flags |= GST_SEEK_FLAG_SEGMENT;
    gst_element_seek(gst_->play.get(), speed_, GST_FORMAT_TIME, GstSeekFlags(flags),
                     GST_SEEK_TYPE_SET, from * GST_MSECOND,
                     loop_ ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                     loop_ ? loop_->second * GST_MSECOND : GST_CLOCK_TIME_NONE);
}

void RecordingPlayer::setSpeed(double speed) {
    speed_ = std::clamp(speed, 0.5, 2.0);
    if (phase_ != Phase::Playing)
        return;
    gint64 at = 0;
    if (!gst_element_query_position(gst_->play.get(), GST_FORMAT_TIME, &at))
        return;
    const int flags =
        GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE | (loop_ ? GST_SEEK_FLAG_SEGMENT : 0);
    gst_element_seek(gst_->play.get(), speed_, GST_FORMAT_TIME, GstSeekFlags(flags),
                     GST_SEEK_TYPE_SET, at, loop_ ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
                     loop_ ? loop_->second * GST_MSECOND : GST_CLOCK_TIME_NONE);
}

std::optional<std::int64_t> RecordingPlayer::positionMs() const {
    gint64 at = 0;
    if (phase_ != Phase::Playing ||
        !gst_element_query_position(gst_->play.get(), GST_FORMAT_TIME, &at))
        return std::nullopt;
    return at / GST_MSECOND;
}

} // namespace kestle::review
