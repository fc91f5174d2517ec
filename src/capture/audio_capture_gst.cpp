// The audio control: one pipeline from the microphone (or the test tone) to
// an appsink, and a WAV writer fed from the streaming thread. Pause drops
// samples; a new file takes over between two buffers, so nothing is lost.
// While the pre-roll is kept, the pipeline runs without a recording and the
// ring holds its last seconds for the next one.
#include "capture/capture_file.h"
#include "capture/gst_capture.h"
#include "capture/pcm_ring.h"
#include "capture/wav_writer.h"
#include "support/gst_runtime.h"
#include "support/worker_thread.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unistd.h>

namespace kestle::capture {

namespace {

constexpr const char* kNoMicrophone = "No microphone found";

// What the streaming thread and the window thread share. The lock is held
// only to take or swap the writer and to copy the ring, never while writing.
struct Recorder {
    std::mutex m;
    std::shared_ptr<WavWriter> writer;
    // The sound before a recording, while it is kept; a writer that takes
    // over from no recording gets it first (`preRollDue`).
    std::unique_ptr<PcmRing> ring;
    bool preRollDue = false;
    std::atomic<bool> paused{false};
    std::atomic<bool> flowing{false}; // samples arrive
    // Streaming thread: a write to `w` failed; it is no longer the writer.
    std::function<void(std::shared_ptr<WavWriter> w, std::string reason)> failed;

    std::shared_ptr<WavWriter> swap(std::shared_ptr<WavWriter> w) {
        std::lock_guard l(m);
        // A new name during a recording goes on from the last sample written;
        // one that comes before the first sample passes the pre-roll on.
        preRollDue = w && ring && (!writer || preRollDue);
        std::swap(writer, w);
        paused = false;
        return w;
    }
    void keep(std::unique_ptr<PcmRing> r) {
        std::lock_guard l(m);
        std::swap(ring, r);
    } // the old ring is freed outside the lock
    // The next pipeline starts afresh: its sound does not follow this.
    void forget() {
        std::lock_guard l(m);
        if (ring)
            ring->clear();
    }
};

// Writes `bytes` to `w`; on failure `w` stops being the writer and false
// comes back.
bool write(Recorder* rec, const std::shared_ptr<WavWriter>& w, const void* bytes,
           std::size_t size) {
    const Status s = w->append(bytes, size);
    if (!s) {
        bool wasCurrent = false;
        {
            std::lock_guard l(rec->m);
            if (rec->writer == w) {
                rec->writer.reset();
                wasCurrent = true;
            }
        }
        if (wasCurrent && rec->failed)
            rec->failed(w, s.error());
    }
    return s.ok();
}

GstFlowReturn onSample(GstAppSink* sink, gpointer data) {
    auto* rec = static_cast<Recorder*>(data);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    rec->flowing = true;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        std::shared_ptr<WavWriter> w;
        std::vector<std::int16_t> preRoll;
        {
            // The ring and the writer move together: the pre-roll ends just
            // before this buffer, which both then get.
            std::lock_guard l(rec->m);
            if (!rec->paused) {
                w = rec->writer;
                if (w && rec->preRollDue && rec->ring)
                    preRoll = rec->ring->samples();
                rec->preRollDue = false;
            }
            if (rec->ring)
                rec->ring->push(map.data, map.size);
        }
        if (w && !preRoll.empty() &&
            !write(rec, w, preRoll.data(), preRoll.size() * sizeof(std::int16_t)))
            w.reset();
        if (w)
            (void)write(rec, w, map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

class GstAudio final : public AudioControl {
  public:
    GstAudio(std::shared_ptr<DeviceCatalog> catalog, Scheduler& sched, int preRollSeconds)
        : catalog_(std::move(catalog)), sched_(sched), recorder_(std::make_shared<Recorder>()),
          alive_(std::make_shared<bool>(true)),
          preRollSeconds_(std::clamp(preRollSeconds, 0, kMaxPreRollSeconds)) {
        std::weak_ptr<bool> alive = alive_;
        recorder_->failed = [this, alive](std::shared_ptr<WavWriter> w, std::string reason) {
            const std::string path = w->path();
            worker_.post([w] { (void)w->finish(); });
            sched_.post([this, alive, path, reason] {
                if (alive.expired())
                    return;
                recording_.clear();
                report(path, "Recording stopped: " + reason);
            });
        };
        // The catalog outlives this control when the video control shares it.
        catalog_->subscribe([this, alive] {
            if (alive.expired())
                return;
            if (!catalog_->current()->audio.empty())
                noDeviceReported_ = false;
            if (onDevices_)
                onDevices_();
        });
    }

    ~GstAudio() override {
        alive_.reset();
        std::shared_ptr<WavWriter> last = recorder_->swap(nullptr);
        worker_.post([this, last] {
            finishWriter(last);
            teardown();
        });
        worker_.drain(std::chrono::seconds(2));
    }

    void setCaptureFileName(const std::string& path) override { fileName_ = path; }

    int start() override {
        if (!recording_.empty() && recording_ == fileName_) {
            resume(); // the recording that runs goes on, never truncated
            return kStarted;
        }
        if (const auto lists = catalog_->current(); lists->searched && lists->audio.empty()) {
            noMicrophone();
            return kStartFailed;
        }
        NewFile nf = createCaptureFile(fileName_);
        if (!nf.ok()) {
            report(fileName_, nf.reason);
            return nf.status;
        }
        auto writer = std::make_shared<WavWriter>(nf.fd, nf.path, kAudioRate, 1);
        if (Status s = writer->begin(); !s) {
            writer.reset();
            ::unlink(nf.path.c_str());
            report(nf.path, s.error());
            return kStartFailed;
        }
        if (nf.path != fileName_)
            report(nf.path, "Recording under this name: " + fileName_ + " already exists");
        std::shared_ptr<WavWriter> old = recorder_->swap(std::move(writer));
        if (old)
            worker_.post([old] { (void)old->finish(); });
        recording_ = fileName_;
        run();
        return kStarted;
    }

    void stop() override {
        recording_.clear();
        std::shared_ptr<WavWriter> old = recorder_->swap(nullptr);
        // The microphone goes on for the next alarm's pre-roll.
        const bool keep = keeping_ && running_;
        running_ = keep;
        worker_.post([this, old, keep] {
            finishWriter(old);
            if (!keep)
                teardown();
        });
    }

    void pause() override { recorder_->paused = true; }
    void resume() override { recorder_->paused = false; }

    void keepPreRoll(bool on) override {
        if (preRollSeconds_ == 0 || on == keeping_)
            return;
        keeping_ = on;
        if (!on) {
            recorder_->keep(nullptr);
            if (recording_.empty() && running_) {
                running_ = false;
                worker_.post([this] { teardown(); });
            }
            return;
        }
        recorder_->keep(
            std::make_unique<PcmRing>(static_cast<std::size_t>(preRollSeconds_) * kAudioRate));
        if (const auto lists = catalog_->current(); lists->searched && lists->audio.empty()) {
            noMicrophone();
            return;
        }
        run();
    }

    bool listening() const override { return recorder_->flowing; }

    NameList audioDevices() const override {
        NameList n;
        for (const AudioDevice& d : catalog_->current()->audio)
            n.push_back(d.name);
        return n;
    }
    void setAudioDevice(int index) override {
        if (index >= 0 && index < static_cast<int>(catalog_->current()->audio.size()))
            device_ = index;
    }
    void selectAudioDevice(int index) override {
        if (index >= 0 && index < static_cast<int>(catalog_->current()->audio.size()))
            selected_ = index;
    }
    NameList audioInputs() const override {
        const auto lists = catalog_->current();
        return selected_ < static_cast<int>(lists->audio.size())
                   ? lists->audio[static_cast<std::size_t>(selected_)].inputs
                   : NameList{};
    }
    // Each device has its one input.
    void setAudioInput(int) override {}

    void setErrorHandler(ErrorHandler h) override { onError_ = std::move(h); }
    void setDevicesChangedHandler(std::function<void()> h) override { onDevices_ = std::move(h); }
    bool deviceAvailable() const override { return !catalog_->current()->audio.empty(); }

  private:
    void report(const std::string& file, const std::string& reason) {
        if (onError_)
            onError_({CaptureError::Source::Audio, file, reason});
    }

    void noMicrophone() {
        if (!noDeviceReported_)
            report({}, kNoMicrophone);
        noDeviceReported_ = true;
    }

    // The pipeline from the chosen device, unless it runs already.
    void run() {
        if (running_)
            return;
        running_ = true;
        const int device = device_;
        worker_.post([this, device] { build(device); });
    }

    // Worker: a finished recording; one that never got a sample because
    // its microphone failed leaves nothing behind.
    void finishWriter(const std::shared_ptr<WavWriter>& w) {
        if (!w)
            return;
        (void)w->finish();
        if (sourceFailed_ && w->dataBytes() == 0)
            ::unlink(w->path().c_str());
    }

    // Worker: the pipeline from device `index` to the appsink.
    void build(int index) {
        teardown();
        sourceFailed_ = false;
        std::string failure;
        if (Status s = initGstreamer(); !s) {
            failure = s.error();
        } else {
            // A start in the first moments waits for the first search.
            catalog_->waitSearched(std::chrono::seconds(2));
            auto lists = catalog_->current();
            GstElement* src = nullptr;
            if (index < static_cast<int>(lists->audio.size())) {
                const AudioDevice& d = lists->audio[static_cast<std::size_t>(index)];
                if (d.handle) {
                    src =
                        gst_device_create_element(static_cast<GstDevice*>(d.handle.get()), nullptr);
                } else {
                    src = gst_element_factory_make("audiotestsrc", nullptr);
                    if (src)
                        g_object_set(src, "is-live", TRUE, "freq", 440.0, "volume", 0.3, nullptr);
                }
            }
            failure = src ? assemble(src) : kNoMicrophone;
        }
        if (!failure.empty())
            sourceFailed(failure);
    }

    std::string assemble(GstElement* src) {
        pipeline_ = gst_pipeline_new("audio-capture");
        GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
        GstElement* resample = gst_element_factory_make("audioresample", nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        if (!convert || !resample || !sink) {
            for (GstElement* e : {src, convert, resample, sink})
                if (e)
                    gst_object_unref(gst_object_ref_sink(e));
            gst_object_unref(pipeline_);
            pipeline_ = nullptr;
            return "GStreamer's audio elements are missing";
        }
        GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate",
                                            G_TYPE_INT, kAudioRate, "channels", G_TYPE_INT, 1,
                                            "layout", G_TYPE_STRING, "interleaved", nullptr);
        g_object_set(sink, "caps", caps, "sync", FALSE, "max-buffers", 0u, nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks cb{};
        cb.new_sample = onSample;
        // The recorder outlives the pipeline (teardown comes first).
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &cb, recorder_.get(), nullptr);
        gst_bin_add_many(GST_BIN(pipeline_), src, convert, resample, sink, nullptr);
        if (!gst_element_link_many(src, convert, resample, sink, nullptr))
            return "The microphone's sound cannot be converted";
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(
            bus,
            [](GstBus*, GstMessage* msg, gpointer data) {
                if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
                    GError* e = nullptr;
                    gst_message_parse_error(msg, &e, nullptr);
                    std::string text = e && e->message ? e->message : "unknown error";
                    g_clear_error(&e);
                    auto* self = static_cast<GstAudio*>(data);
                    self->worker_.post([self, text] { self->sourceFailed(text); });
                }
                return GST_BUS_DROP;
            },
            this, nullptr);
        gst_object_unref(bus);
        if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return "The microphone cannot be opened";
        return {};
    }

    // Worker: the source failed or went away; the file is finished.
    void sourceFailed(const std::string& reason) {
        teardown();
        sourceFailed_ = true;
        std::weak_ptr<bool> alive = alive_;
        sched_.post([this, alive, reason] {
            if (alive.expired())
                return;
            if (reason == kNoMicrophone)
                noMicrophone();
            if (!running_)
                return; // stopped meanwhile: its file is finished already
            running_ = false;
            recording_.clear();
            std::shared_ptr<WavWriter> w = recorder_->swap(nullptr);
            if (reason != kNoMicrophone)
                report(w ? w->path() : std::string(), "The microphone stopped: " + reason);
            worker_.post([this, w] { finishWriter(w); });
        });
    }

    void teardown() {
        if (!pipeline_)
            return;
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
        // NULL has stopped the streaming thread: no sample comes after this.
        recorder_->flowing = false;
        recorder_->forget();
    }

    std::shared_ptr<DeviceCatalog> catalog_;
    Scheduler& sched_;
    std::shared_ptr<Recorder> recorder_;
    std::shared_ptr<bool> alive_; // expires when the control goes
    const int preRollSeconds_;
    // Window thread.
    std::string fileName_, recording_;
    int device_ = 0, selected_ = 0;
    bool running_ = false, noDeviceReported_ = false;
    bool keeping_ = false; // the pre-roll is kept
    ErrorHandler onError_;
    std::function<void()> onDevices_;
    // Worker.
    GstElement* pipeline_ = nullptr;
    bool sourceFailed_ = false; // the last source could not run
    WorkerThread worker_;       // last: it ends before the members it uses
};

} // namespace

std::unique_ptr<AudioControl> makeGstAudio(std::shared_ptr<DeviceCatalog> catalog, Scheduler& sched,
                                           int preRollSeconds) {
    return std::make_unique<GstAudio>(std::move(catalog), sched, preRollSeconds);
}

} // namespace kestle::capture
