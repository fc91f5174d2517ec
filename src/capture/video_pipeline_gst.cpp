// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/video_pipeline_gst.h"

#include "capture/overlay.h"
#include "support/gst_glue.h"

#include <gst/app/gstappsink.h>
#include <gst/video/colorbalance.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

namespace kestle::capture {

// Recordings whose file got its end, told by the streaming threads.
struct EosSignal {
    std::mutex m;
    std::condition_variable cv;
    std::set<int> done;
};

struct VideoPipeline::Branch {
    int id = 0;
    std::string path;
    GstElement* bin = nullptr;
    GstPad* teePad = nullptr;
    GstPad* binPad = nullptr;
    gulong idleProbe = 0;
    std::shared_ptr<std::atomic<bool>> cut; // the branch is off the tee
    bool ending = false;
};

namespace {

constexpr auto kFinishGuard = std::chrono::seconds(5);

GstElement* make(const char* factory) {
    return gst_element_factory_make(factory, nullptr);
}

GstElement* capsFilter(const std::string& caps) {
    GstElement* f = make("capsfilter");
    GstCaps* c = gst_caps_from_string(caps.c_str());
    if (f && c)
        g_object_set(f, "caps", c, nullptr);
    if (c)
        gst_caps_unref(c);
    return f;
}

// Inversion before the overlays, so they keep their colours.
GstPadProbeReturn invertProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
    gst::InCallback in(data);
    auto* hub = static_cast<FrameHub*>(data);
    if (!hub->invert)
        return GST_PAD_PROBE_OK;
    GstBuffer* b = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = b;
    GstMapInfo map;
    if (gst_buffer_map(b, &map, GST_MAP_READWRITE)) {
        auto* words = reinterpret_cast<std::uint32_t*>(map.data);
        for (std::size_t i = 0, n = map.size / 4; i < n; ++i)
            words[i] ^= 0x00FFFFFFu; // B G R x: the colour bytes, not the padding
        gst_buffer_unmap(b, &map);
    }
    return GST_PAD_PROBE_OK;
}

GstVideoOverlayComposition* onDraw(GstElement*, GstSample*, gpointer data) {
    gst::InCallback in(data);
    return static_cast<FrameHub*>(data)->composition();
}

GstFlowReturn onPicture(GstAppSink* sink, gpointer data) {
    gst::InCallback in(data);
    if (GstSample* s = gst_app_sink_pull_sample(sink))
        static_cast<FrameHub*>(data)->onSample(s);
    return GST_FLOW_OK;
}

// What the end-of-recording probe needs, independent of the branch.
struct EosWatch {
    std::shared_ptr<EosSignal> signal;
    int id;
    WorkerThread* worker;
    std::function<void()> finished; // guarded by the pipeline's lifetime
};

GstPadProbeReturn eosProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
    gst::InCallback in(data);
    auto* w = static_cast<EosWatch*>(data);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_EOS)
        return GST_PAD_PROBE_OK;
    {
        std::lock_guard l(w->signal->m);
        w->signal->done.insert(w->id);
    }
    w->signal->cv.notify_all();
    w->worker->post(w->finished);
    return GST_PAD_PROBE_OK;
}

// Cuts the branch off the tee once no picture is passing, then sends it its end.
struct Cut {
    GstPad* teePad;
    GstPad* binPad;
    std::shared_ptr<std::atomic<bool>> done;
};

GstPadProbeReturn cutProbe(GstPad*, GstPadProbeInfo*, gpointer data) {
    gst::InCallback in(data);
    auto* c = static_cast<Cut*>(data);
    if (c->done->exchange(true))
        return GST_PAD_PROBE_REMOVE;
    if (gst_pad_is_linked(c->teePad))
        gst_pad_unlink(c->teePad, c->binPad);
    gst_pad_send_event(c->binPad, gst_event_new_eos());
    return GST_PAD_PROBE_REMOVE;
}

void freeCut(gpointer data) {
    gst::takeOver(data);
    auto* c = static_cast<Cut*>(data);
    gst_object_unref(c->teePad);
    gst_object_unref(c->binPad);
    delete c;
}

} // namespace

VideoPipeline::VideoPipeline(WorkerThread& worker, FrameHub& hub, Events events)
    : worker_(worker), hub_(hub), events_(std::move(events)), eos_(std::make_shared<EosSignal>()) {}

VideoPipeline::~VideoPipeline() {
    shutdown(std::chrono::milliseconds(0));
    life_.end();
}

bool VideoPipeline::recording() const {
    return std::any_of(branches_.begin(), branches_.end(),
                       [](const auto& b) { return !b->ending; });
}

VideoPipeline::Branch* VideoPipeline::branch(int id) {
    for (auto& b : branches_)
        if (b->id == id)
            return b.get();
    return nullptr;
}

std::string VideoPipeline::start(const SourceSpec& source) {
    stopWanted_ = false;
    if (pipeline_ && running_ == source)
        return {};
    if (pipeline_ && !branches_.empty()) {
        waitingSource_ = std::make_unique<SourceSpec>(source);
        return {};
    }
    teardown();
    std::string error = build(source);
    if (!error.empty())
        teardown();
    return error;
}

void VideoPipeline::stop() {
    stopWanted_ = true;
    waitingSource_.reset();
    maybeStop();
}

void VideoPipeline::maybeStop() {
    if (!branches_.empty())
        return;
    if (waitingSource_) {
        const SourceSpec next = *waitingSource_;
        waitingSource_.reset();
        teardown();
        if (std::string e = build(next); !e.empty()) {
            teardown();
            if (events_.sourceStopped)
                events_.sourceStopped(e);
        }
        return;
    }
    if (stopWanted_)
        teardown();
}

std::string VideoPipeline::build(const SourceSpec& s) {
    pipeline_ = gst::own(gst_pipeline_new("video-capture"));
    if (s.device) {
        source_ = gst_device_create_element(static_cast<GstDevice*>(s.device.get()), nullptr);
    } else {
        source_ = make("videotestsrc");
        if (source_)
            g_object_set(source_, "is-live", TRUE, "horizontal-speed", 2, nullptr);
    }
    const bool jpeg = s.caps.rfind("image/jpeg", 0) == 0;
    GstElement* format = capsFilter(s.caps);
    GstElement* decode = jpeg ? make("jpegdec") : make("identity");
    GstElement* convert = make("videoconvert");
    GstElement* bgrx = capsFilter("video/x-raw,format=BGRx");
    flip_ = make("videoflip");
    GstElement* ovl = make("overlaycomposition");
    tee_ = make("tee");
    GstElement* queue = make("queue");
    GstElement* sink = make("appsink");
    GstElement* all[] = {source_, format, decode, convert, bgrx, flip_, ovl, tee_, queue, sink};
    if (std::any_of(std::begin(all), std::end(all), [](GstElement* e) { return !e; })) {
        for (GstElement* e : all)
            gst::discard(e);
        source_ = flip_ = tee_ = nullptr;
        return s.device ? "The camera cannot be opened" : "GStreamer's video elements are missing";
    }
    for (GstElement* e : all)
        gst_bin_add(GST_BIN(pipeline_.get()), e);
    if (!gst_element_link_many(source_, format, decode, convert, bgrx, flip_, ovl, tee_, queue,
                               sink, nullptr))
        return "The camera's pictures cannot be converted";
    running_ = s;
    appliedRotation_ = rotation_;
    g_object_set(flip_, "video-direction", orientationOf(rotation_), nullptr);
    g_object_set(queue, "leaky", 2, "max-size-buffers", 2u, "max-size-bytes", 0u, "max-size-time",
                 guint64{0}, nullptr);
    g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, nullptr);
    gst::handOver(&hub_);
    GstAppSinkCallbacks cb{};
    cb.new_sample = onPicture;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &cb, &hub_, nullptr);
    g_signal_connect(ovl, "draw", G_CALLBACK(onDraw), &hub_);
    GstPad* ovlSink = gst_element_get_static_pad(ovl, "sink");
    gst_pad_add_probe(ovlSink, GST_PAD_PROBE_TYPE_BUFFER, invertProbe, &hub_, nullptr);
    gst_object_unref(ovlSink);

    // Errors are handled on the worker.
    auto handle = life_.guard([this](const gst::Message& m) { onMessage(m.get()); });
    bus_ = std::make_unique<gst::BusWatch>(pipeline_.get(), GST_MESSAGE_ERROR,
                                           [&worker = worker_, handle](gst::Message m) {
                                               worker.post([handle, m]() mutable { handle(m); });
                                           });
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return s.device ? "The camera cannot be opened" : "The test pattern cannot start";
    return {};
}

void VideoPipeline::teardown() {
    if (!pipeline_)
        return;
    for (auto& b : branches_) {
        gst_element_set_state(b->bin, GST_STATE_NULL);
        gst_object_unref(b->teePad);
        gst_object_unref(b->binPad);
    }
    branches_.clear();
    bus_.reset();
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    gst::takeOver(&hub_); // the streaming threads have stopped
    pipeline_.reset();
    source_ = tee_ = flip_ = nullptr;
    running_ = {};
    hub_.clear("The camera stopped before a picture came");
}

std::string VideoPipeline::record(const RecordSpec& r) {
    if (!pipeline_)
        return "The camera is not running";
    auto b = std::make_unique<Branch>();
    b->id = r.id;
    b->path = r.path;
    b->bin = gst_bin_new(nullptr);
    GstElement* queue = make("queue");
    GstElement* rate = make("videorate");
    GstElement* fps = capsFilter("video/x-raw,framerate=" + std::to_string(running_.fpsNum) + "/" +
                                 std::to_string(running_.fpsDen));
    GstElement* convert = make("videoconvert");
    GstElement* encode = r.encoder.element.empty() ? capsFilter("video/x-raw,format=I420")
                                                   : make(r.encoder.element.c_str());
    GstElement* mux = make("avimux");
    GstElement* file = make("filesink");
    GstElement* all[] = {queue, rate, fps, convert, encode, mux, file};
    if (std::any_of(std::begin(all), std::end(all), [](GstElement* e) { return !e; })) {
        for (GstElement* e : all)
            gst::discard(e);
        gst::discard(b->bin);
        return "The video compressor is not available";
    }
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time",
                 guint64{3} * GST_SECOND, nullptr);
    // A branch added later must not fill in from the start of the stream.
    g_object_set(rate, "skip-to-first", TRUE, nullptr);
    if (!r.encoder.element.empty() && !r.encoder.property.empty())
        g_object_set(encode, r.encoder.property.c_str(), r.encoder.value, nullptr);
    if (r.encoder.element == "vp8enc")
        g_object_set(encode, "deadline", gint64{1}, nullptr);
    g_object_set(file, "location", r.path.c_str(), "async", FALSE, nullptr);
    for (GstElement* e : all)
        gst_bin_add(GST_BIN(b->bin), e);
    if (!gst_element_link_many(queue, rate, fps, convert, encode, mux, file, nullptr)) {
        gst::discard(b->bin);
        return "The video compressor does not take these pictures";
    }
    GstPad* queueSink = gst_element_get_static_pad(queue, "sink");
    b->binPad = gst_ghost_pad_new("sink", queueSink);
    gst_object_unref(queueSink);
    gst_element_add_pad(b->bin, b->binPad);
    gst_object_ref(b->binPad);

    GstPad* fileSink = gst_element_get_static_pad(file, "sink");
    auto* watch = new EosWatch{eos_, r.id, &worker_,
                               life_.guard([this, id = r.id] { finishBranch(id, {}); })};
    gst::handOver(watch);
    gst_pad_add_probe(fileSink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, eosProbe, watch,
                      [](gpointer d) {
                          gst::takeOver(d);
                          delete static_cast<EosWatch*>(d);
                      });
    gst_object_unref(fileSink);

    gst_bin_add(GST_BIN(pipeline_.get()), b->bin);
    if (!gst_element_sync_state_with_parent(b->bin)) {
        gst_element_set_state(b->bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline_.get()), b->bin);
        gst_object_unref(b->binPad);
        return "The file cannot be written";
    }
    // Linked only now that the branch plays, so the tee never pushes into it flushing.
    b->teePad = gst_element_request_pad_simple(tee_, "src_%u");
    if (gst_pad_link(b->teePad, b->binPad) != GST_PAD_LINK_OK) {
        gst_element_set_state(b->bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline_.get()), b->bin);
        gst_element_release_request_pad(tee_, b->teePad);
        gst_object_unref(b->teePad);
        gst_object_unref(b->binPad);
        return "The recording cannot be attached";
    }
    branches_.push_back(std::move(b));
    return {};
}

void VideoPipeline::endRecording(int id) {
    Branch* b = branch(id);
    if (!b || b->ending)
        return;
    b->ending = true;
    b->cut = std::make_shared<std::atomic<bool>>(false);
    auto* cut =
        new Cut{GST_PAD(gst_object_ref(b->teePad)), GST_PAD(gst_object_ref(b->binPad)), b->cut};
    gst::handOver(cut);
    b->idleProbe = gst_pad_add_probe(b->teePad, GST_PAD_PROBE_TYPE_IDLE, cutProbe, cut, freeCut);
    worker_.postAfter(kFinishGuard, life_.guard([this, id] {
        finishBranch(id, "The recording did not finish in time; its index may be missing");
    }));
}

void VideoPipeline::finishBranch(int id, const std::string& reason) {
    auto it = std::find_if(branches_.begin(), branches_.end(),
                           [id](const auto& b) { return b->id == id; });
    if (it == branches_.end())
        return;
    std::unique_ptr<Branch> b = std::move(*it);
    branches_.erase(it);
    // A cut that has not happened yet never will.
    if (b->idleProbe && !b->cut->exchange(true))
        gst_pad_remove_probe(b->teePad, b->idleProbe);
    if (gst_pad_is_linked(b->teePad))
        gst_pad_unlink(b->teePad, b->binPad);
    gst_element_set_state(b->bin, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline_.get()), b->bin);
    gst_element_release_request_pad(tee_, b->teePad);
    gst_object_unref(b->teePad);
    gst_object_unref(b->binPad);
    if (events_.recordingEnded)
        events_.recordingEnded(id, b->path, reason);
    applyRotation();
    maybeStop();
}

void VideoPipeline::onMessage(GstMessage* msg) {
    // Not from a pipeline or a recording that has gone since.
    if (!pipeline_ ||
        !gst_object_has_as_ancestor(GST_MESSAGE_SRC(msg), GST_OBJECT(pipeline_.get())))
        return;
    const std::string text = gst::errorText(msg);
    for (auto& b : branches_) {
        if (gst_object_has_as_ancestor(GST_MESSAGE_SRC(msg), GST_OBJECT(b->bin))) {
            finishBranch(b->id, "Recording stopped: " + text);
            return;
        }
    }
    // The source failed: its recordings end, then the picture stops.
    for (auto& b : branches_)
        endRecording(b->id);
    stopWanted_ = true;
    waitingSource_.reset();
    if (events_.sourceStopped)
        events_.sourceStopped(text);
    maybeStop();
}

void VideoPipeline::setRotation(int position) {
    if (position < 0 || position >= kRotationCount)
        return;
    rotation_ = position;
    applyRotation();
}

void VideoPipeline::applyRotation() {
    if (!flip_ || !branches_.empty() || appliedRotation_ == rotation_)
        return;
    g_object_set(flip_, "video-direction", orientationOf(rotation_), nullptr);
    appliedRotation_ = rotation_;
}

std::vector<Setting> VideoPipeline::colorBalance() const {
    std::vector<Setting> out;
    if (!source_ || !GST_IS_COLOR_BALANCE(source_))
        return out;
    GstColorBalance* cb = GST_COLOR_BALANCE(source_);
    for (const GList* l = gst_color_balance_list_channels(cb); l; l = l->next) {
        auto* ch = GST_COLOR_BALANCE_CHANNEL(l->data);
        out.push_back({ch->label ? ch->label : "", ch->min_value, ch->max_value,
                       gst_color_balance_get_value(cb, ch)});
    }
    return out;
}

void VideoPipeline::setColorBalance(const std::string& name, int value) {
    if (!source_ || !GST_IS_COLOR_BALANCE(source_))
        return;
    GstColorBalance* cb = GST_COLOR_BALANCE(source_);
    for (const GList* l = gst_color_balance_list_channels(cb); l; l = l->next) {
        auto* ch = GST_COLOR_BALANCE_CHANNEL(l->data);
        if (ch->label && name == ch->label)
            gst_color_balance_set_value(cb, ch, std::clamp(value, ch->min_value, ch->max_value));
    }
}

void VideoPipeline::shutdown(std::chrono::milliseconds limit) {
    std::vector<int> ids;
    for (auto& b : branches_) {
        endRecording(b->id);
        ids.push_back(b->id);
    }
    {
        std::unique_lock l(eos_->m);
        eos_->cv.wait_for(l, limit, [&] {
            return std::all_of(ids.begin(), ids.end(),
                               [&](int id) { return eos_->done.count(id) > 0; });
        });
    }
    for (int id : ids) {
        bool done;
        {
            std::lock_guard l(eos_->m);
            done = eos_->done.count(id) > 0;
        }
        finishBranch(id, done ? "" : "The program ended before the recording was finished");
    }
    stopWanted_ = true;
    waitingSource_.reset();
    teardown();
}

} // namespace kestle::capture
