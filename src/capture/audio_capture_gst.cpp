// SPDX-License-Identifier: GPL-3.0-or-later
// The audio control: one pipeline from the microphone (or the test tone) to
// an appsink, and a WAV writer fed from the streaming thread. Pause drops
// samples; a new file takes over between two buffers, so nothing is lost.
// While the pre-roll is kept, the pipeline runs without a recording and the
// ring holds its last seconds for the next one.
#include "capture/capture_file.h"
#include "capture/gst_capture.h"
#include "capture/pcm_ring.h"
#include "capture/wav_writer.h"
#include "support/gst_glue.h"
#include "support/gst_runtime.h"
#include "support/lifetime.h"
#include "support/worker_thread.h"

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unistd.h>

namespace kestle::capture {

namespace {

constexpr const char* kNoMicrophone = "No microphone found";
constexpr const char* kEndedByExit = "The program ended during the recording";
// How long a microphone being started is waited for at most.
constexpr std::chrono::seconds kFirstSoundLimit{5};

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
    // A microphone being started is a result the scheduler waits for (a
    // script's next line, a virtual clock) until its first sound, its
    // failure, its stop or kFirstSoundLimit: settled exactly once, from any
    // thread. The scheduler outlives the control.
    Scheduler* sched = nullptr;
    std::atomic<bool> soundOwed{false};
    void oweSound() { // window thread
        if (!soundOwed.exchange(true))
            sched->expectResult();
    }
    void settleSound() {
        if (soundOwed.exchange(false))
            sched->postResult([] {});
    }

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
    gst::InCallback in(data);
    auto* rec = static_cast<Recorder*>(data);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_OK;
    rec->flowing = true;
    rec->settleSound();
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
          preRollSeconds_(std::clamp(preRollSeconds, 0, kMaxPreRollSeconds)) {
        recorder_->sched = &sched_;
        // The streaming thread: a write failed (a full disk).
        recorder_->failed = life_.guard([this](std::shared_ptr<WavWriter> w, std::string reason) {
            worker_.post([this, w, reason] {
                (void)w->finish();
                ended(w->path(), {"Recording stopped: " + reason, true});
            });
        });
        // The catalog outlives this control when the video control shares it.
        catalog_->subscribe(life_.guard([this] {
            if (!catalog_->current()->audio.empty())
                noDeviceReported_ = false;
            if (onDevices_)
                onDevices_();
        }));
    }

    ~GstAudio() override {
        life_.end(); // from here on nothing reaches the window thread
        std::shared_ptr<WavWriter> last = recorder_->swap(nullptr);
        // Nothing queued runs any more (a writer handed over is finished
        // as its task goes); the last recording is finished, then the
        // microphone stops.
        worker_.stop(WorkerThread::kStopBound, [this, last] {
            finishWriter(last);
            teardown();
        });
        tellEndsAtExit();
        recorder_->settleSound();
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
            worker_.post([this, old] { finishWriter(old); });
        recording_ = fileName_;
        current_ = nf.path;
        open_.insert(nf.path);
        tell({CaptureError::Source::Audio, false, nf.path, {}});
        run();
        return kStarted;
    }

    void stop() override {
        recording_.clear();
        current_.clear();
        std::shared_ptr<WavWriter> old = recorder_->swap(nullptr);
        // The microphone goes on for the next alarm's pre-roll.
        const bool keep = keeping_ && running_;
        running_ = keep;
        if (!keep)
            recorder_->settleSound();
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
                recorder_->settleSound();
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
    void setRecordingHandler(RecordingHandler h) override { onRecording_ = std::move(h); }
    bool deviceAvailable() const override { return !catalog_->current()->audio.empty(); }

  private:
    // How a recording's file ended, as the worker saw it.
    struct Outcome {
        std::string problem;
        bool report = false; // the problem is yet to be told
    };

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
        recorder_->oweSound();
        worker_.postAfter(kFirstSoundLimit, [rec = recorder_] { rec->settleSound(); });
        const int device = device_;
        worker_.post([this, device] { build(device); });
    }

    // Worker: a finished recording; one that never got a sample because
    // its microphone failed leaves nothing behind.
    void finishWriter(const std::shared_ptr<WavWriter>& w) { finishWriter(w, Outcome{}); }
    void finishWriter(const std::shared_ptr<WavWriter>& w, Outcome o) {
        if (!w)
            return;
        (void)w->finish();
        if (sourceFailed_ && w->dataBytes() == 0)
            ::unlink(w->path().c_str());
        ended(w->path(), std::move(o));
    }

    // Worker: the end of the file `path`, for the window thread.
    void ended(const std::string& path, Outcome o) {
        {
            std::lock_guard l(outcomeMutex_);
            outcomes_[path] = std::move(o);
        }
        sched_.post(life_.guard([this, path] { recordingEnded(path); }));
    }

    std::optional<Outcome> takeOutcome(const std::string& path) {
        std::lock_guard l(outcomeMutex_);
        auto it = outcomes_.find(path);
        if (it == outcomes_.end())
            return std::nullopt;
        Outcome o = std::move(it->second);
        outcomes_.erase(it);
        return o;
    }

    void recordingEnded(const std::string& path) {
        std::optional<Outcome> o = takeOutcome(path);
        if (!o)
            return;
        if (path == current_) { // a failure ended the recording that runs
            recording_.clear();
            current_.clear();
        }
        if (o->report)
            report(path, o->problem);
        tellEnd(path, o->problem);
    }

    void tellEnd(const std::string& path, const std::string& problem) {
        if (open_.erase(path) > 0)
            tell({CaptureError::Source::Audio, true, path, problem});
    }

    // The destructor: every file made is finished now.
    void tellEndsAtExit() {
        while (!open_.empty()) {
            const std::string path = *open_.begin();
            std::optional<Outcome> o = takeOutcome(path);
            std::string problem = o ? o->problem : std::string();
            if (problem.empty() && path == current_)
                problem = kEndedByExit;
            tellEnd(path, problem);
        }
    }

    void tell(const RecordingNotice& n) {
        if (onRecording_)
            onRecording_(n);
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
        pipeline_ = gst::own(gst_pipeline_new("audio-capture"));
        GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
        GstElement* resample = gst_element_factory_make("audioresample", nullptr);
        GstElement* sink = gst_element_factory_make("appsink", nullptr);
        if (!convert || !resample || !sink) {
            for (GstElement* e : {src, convert, resample, sink})
                gst::discard(e);
            pipeline_.reset();
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
        gst::handOver(recorder_.get());
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &cb, recorder_.get(), nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), src, convert, resample, sink, nullptr);
        if (!gst_element_link_many(src, convert, resample, sink, nullptr))
            return "The microphone's sound cannot be converted";
        // Worker: the pipeline of this watch is still the one that runs.
        auto failed = [this, pipeline = pipeline_.get()](const std::string& text) {
            if (pipeline_.get() == pipeline)
                sourceFailed(text);
        };
        bus_ = std::make_unique<gst::BusWatch>(
            pipeline_.get(), GST_MESSAGE_ERROR, [&worker = worker_, failed](gst::Message m) {
                worker.post([failed, text = gst::errorText(m.get())] { failed(text); });
            });
        if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return "The microphone cannot be opened";
        return {};
    }

    // Worker: the source failed or went away; the file is finished.
    void sourceFailed(const std::string& reason) {
        teardown();
        recorder_->settleSound();
        sourceFailed_ = true;
        sched_.post(life_.guard([this, reason] {
            if (reason == kNoMicrophone)
                noMicrophone();
            if (!running_)
                return; // stopped meanwhile: its file is finished already
            running_ = false;
            recording_.clear();
            current_.clear();
            std::shared_ptr<WavWriter> w = recorder_->swap(nullptr);
            const std::string problem =
                reason == kNoMicrophone ? reason : "The microphone stopped: " + reason;
            if (reason != kNoMicrophone)
                report(w ? w->path() : std::string(), problem);
            worker_.post([this, w, problem] { finishWriter(w, {problem, false}); });
        }));
    }

    void teardown() {
        if (!pipeline_)
            return;
        bus_.reset();
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        gst::takeOver(recorder_.get()); // the streaming thread has stopped
        pipeline_.reset();
        // NULL has stopped the streaming thread: no sample comes after this.
        recorder_->flowing = false;
        recorder_->forget();
    }

    std::shared_ptr<DeviceCatalog> catalog_;
    Scheduler& sched_;
    std::shared_ptr<Recorder> recorder_;
    const int preRollSeconds_;
    // Window thread.
    std::string fileName_, recording_;
    std::string current_;        // the file the recording writes
    std::set<std::string> open_; // files made whose end is not told
    RecordingHandler onRecording_;
    int device_ = 0, selected_ = 0;
    bool running_ = false, noDeviceReported_ = false;
    bool keeping_ = false; // the pre-roll is kept
    ErrorHandler onError_;
    std::function<void()> onDevices_;
    // Written by the worker, taken on the window thread.
    std::mutex outcomeMutex_;
    std::map<std::string, Outcome> outcomes_;
    // Worker.
    gst::Ptr<GstElement> pipeline_;
    std::unique_ptr<gst::BusWatch> bus_;
    bool sourceFailed_ = false; // the last source could not run
    // Guards every callback another thread, the scheduler or the catalog
    // makes into this control.
    Lifetime life_;
    WorkerThread worker_; // last: stopped before the members its tasks use
};

} // namespace

std::unique_ptr<AudioControl> makeGstAudio(std::shared_ptr<DeviceCatalog> catalog, Scheduler& sched,
                                           int preRollSeconds) {
    return std::make_unique<GstAudio>(std::move(catalog), sched, preRollSeconds);
}

} // namespace kestle::capture
