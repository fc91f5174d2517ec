// SPDX-License-Identifier: GPL-3.0-or-later
// The video control: its properties on the window thread, the pipeline and
// the overlay layers on a worker, the pictures through the frame hub.
#include "capture/capture_file.h"
#include "capture/gst_capture.h"
#include "capture/overlay_layers_gst.h"
#include "capture/video_pipeline_gst.h"
#include "support/gst_runtime.h"
#include "support/lifetime.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::capture {

namespace {

constexpr auto kSnapshotWait = std::chrono::milliseconds(3000);
// The files' ends at exit are waited for this long, counted from the start
// of the destructor: within the worker's bound, which is the exit's.
constexpr auto kShutdownLimit = std::chrono::milliseconds(1500);
static_assert(kShutdownLimit < WorkerThread::kStopBound);

constexpr const char* kEndedByExit = "The program ended during the recording";
constexpr const char* kUnfinishedAtExit = "The program ended before the recording was finished";
constexpr const char* kNotBegunAtExit = "The program ended before the recording began";

struct Compressor {
    std::string name;
    EncoderSpec encoder;
    std::string setting; // the name of its one setting
    int min = 0, max = 0;
};

// MJPEG first; each only where its encoder is installed.
std::vector<Compressor> availableCompressors() {
    const std::vector<Compressor> all = {
        {"MJPEG", {"jpegenc", "quality", 85}, "Quality (1 to 100)", 1, 100},
        {"VP8", {"vp8enc", "target-bitrate", 2000000}, "Bit rate in bit/s", 100000, 20000000},
        {"PNG lossless", {"pngenc", "compression-level", 1}, "Compression level (0 to 9)", 0, 9},
    };
    std::vector<Compressor> present;
    if (!initGstreamer())
        return present;
    for (const Compressor& c : all) {
        if (GstElementFactory* f = gst_element_factory_find(c.encoder.element.c_str())) {
            gst_object_unref(f);
            present.push_back(c);
        }
    }
    return present;
}

bool isEmptyFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size == 0;
}

class GstVideo final : public VideoControl {
  public:
    GstVideo(std::shared_ptr<DeviceCatalog> catalog, Scheduler& sched)
        : sched_(sched), catalog_(std::move(catalog)), writer_(makeJpegWriter()), hub_(*writer_),
          compressors_(availableCompressors()) {
        // The catalog outlives this control when the audio control shares it.
        catalog_->subscribe(life_.guard([this] {
            if (!catalog_->current()->video.empty()) {
                noCameraReported_ = false;
                if (message_ == kNoCamera) {
                    message_.clear();
                    updateLook();
                }
            }
            if (onDevices_)
                onDevices_();
        }));
        // Streaming threads.
        hub_.setOnPicture(life_.guard([this] {
            if (!framePending_.exchange(true))
                sched_.post(life_.guard([this] { deliverFrame(); }));
        }));
        worker_.post([this] {
            VideoPipeline::Events events;
            events.sourceStopped = [this](const std::string& reason) {
                sched_.post(life_.guard([this, reason] { sourceStopped(reason); }));
            };
            events.recordingEnded = [this](int id, const std::string& path,
                                           const std::string& reason) {
                ended(id, {path, reason, true});
            };
            pipeline_ = std::make_unique<VideoPipeline>(worker_, hub_, std::move(events));
            layers_ = std::make_unique<OverlayLayers>(
                hub_, makeOverlayPainter(), [this](const std::string& problem) {
                    sched_.post(life_.guard([this, problem] { report({}, problem); }));
                });
        });
    }

    ~GstVideo() override {
        const auto deadline = std::chrono::steady_clock::now() + kShutdownLimit;
        life_.end(); // from here on nothing reaches the window thread
        hub_.setOnPicture(nullptr);
        // Nothing queued runs any more, a date tick least of all: only the
        // end of the pipeline, which finishes the files.
        worker_.stop(WorkerThread::kStopBound, [this, deadline] {
            if (pipeline_)
                pipeline_->shutdown(std::max(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 deadline - std::chrono::steady_clock::now()),
                                             std::chrono::milliseconds(0)));
            pipeline_.reset();
            layers_.reset();
        });
        tellEndsAtExit();
    }

    void setVisible(bool on) override {
        visible_ = on;
        updateLook();
        refreshPicture();
    }
    void setCaptureFileName(const std::string& path) override { fileName_ = path; }
    void setCaptureToFile(bool on) override { captureToFile_ = on; }
    void setPreviewWhenCapture(bool on) override {
        previewWhenCapture_ = on;
        refreshPicture();
    }
    void setShowDateTime(bool on) override {
        overlays_.date.shown = on;
        pushOverlays();
    }

    int start() override {
        if (const auto lists = catalog_->current(); lists->searched && lists->video.empty()) {
            noCamera();
            return kStartFailed;
        }
        if (captureToFile_ && recording_ != fileName_) {
            if (const int status = startRecording(); status != kStarted)
                return status;
        }
        run();
        return kStarted;
    }

    void stop() override {
        endRecording();
        previewWanted_ = false;
        if (message_ == kNoCamera)
            message_.clear();
        updateLook();
        // "Stop" then "Start" at once (the set-up form does so) keeps the
        // picture running: the pipeline stops only if no Start followed.
        if (!stopCheckPosted_) {
            stopCheckPosted_ = true;
            sched_.callAfter(0, life_.guard([this] {
                stopCheckPosted_ = false;
                if (previewWanted_)
                    return;
                worker_.post([this] { pipeline_->stop(); });
                refreshPicture();
            }));
        }
    }

    void snapShot(const std::string& path) override {
        if (!previewWanted_) {
            snapshotFailed(path, "The camera is not running");
            return;
        }
        // The writer's thread, or this one when the picture stops first.
        const bool waiting =
            hub_.snapshot(path, life_.guard([this, path](std::string, std::string error) {
                sched_.post(life_.guard([this, path, error] {
                    if (error.empty())
                        lastSnapshotError_.clear();
                    else
                        snapshotFailed(path, error);
                }));
            }));
        // A picture that does not come within its time is not waited for.
        if (waiting)
            sched_.callAfter(kSnapshotWait.count(), life_.guard([this] {
                hub_.expireSnapshots(std::chrono::steady_clock::now() - kSnapshotWait +
                                         std::chrono::milliseconds(50),
                                     "No picture came from the camera");
            }));
    }

    NameList videoDevices() const override {
        NameList n;
        for (const VideoDevice& d : catalog_->current()->video)
            n.push_back(d.name);
        return n;
    }
    NameList videoInputs() const override {
        const auto lists = catalog_->current();
        const VideoDevice* d = device(*lists, selected_);
        return d ? d->inputs : NameList{};
    }
    NameList videoFormats() const override {
        const auto lists = catalog_->current();
        NameList n;
        if (const VideoDevice* d = device(*lists, selected_))
            for (const VideoFormat& f : d->formats)
                n.push_back(f.name);
        return n;
    }
    NameList videoCompressors() const override {
        NameList n;
        for (const Compressor& c : compressors_)
            n.push_back(c.name);
        return n;
    }
    void selectVideoDevice(int index) override {
        if (device(*catalog_->current(), index))
            selected_ = index;
    }
    void setVideoDevice(int index) override {
        if (device(*catalog_->current(), index))
            device_ = index;
    }
    // Each camera has its one input.
    void setVideoInput(int) override {}
    void setVideoFormat(int index) override {
        if (index >= 0)
            format_ = index;
    }
    void setVideoCompressor(int index) override {
        if (index >= 0 && index < static_cast<int>(compressors_.size()))
            compressor_ = index;
    }
    void setUseVideoCompressor(bool on) override { useCompressor_ = on; }
    void setCaptureVideo(int checked) override { captureVideo_ = checked != 0; }
    void setKeepAspectRatio(bool on) override {
        look_.keepAspectRatio = on;
        updateLook();
    }
    void setBackColor(Rgb color) override {
        look_.backColor = color & 0xFFFFFF;
        updateLook();
    }
    void setTVMute(bool) override {} // no TV tuners here
    std::vector<Setting> deviceSettings() const override { return deviceSettings_; }
    void applyDeviceSetting(const std::string& name, int value) override {
        for (Setting& s : deviceSettings_)
            if (s.name == name)
                s.value = std::clamp(value, s.min, s.max);
        worker_.post([this, name, value] { pipeline_->setColorBalance(name, value); });
    }
    Setting compressorSetting(int index) const override {
        if (index < 0 || index >= static_cast<int>(compressors_.size()))
            return {};
        const Compressor& c = compressors_[static_cast<std::size_t>(index)];
        return {c.setting, c.min, c.max, c.encoder.value};
    }
    void applyCompressorSetting(int index, int value) override {
        if (index < 0 || index >= static_cast<int>(compressors_.size()))
            return;
        Compressor& c = compressors_[static_cast<std::size_t>(index)];
        c.encoder.value = std::clamp(value, c.min, c.max);
    }

    void setDateColor(Rgb color) override {
        changeDate([&](DateOverlay& d) { d.color = color; });
    }
    void setDateFontName(const std::string& name) override {
        changeDate([&](DateOverlay& d) { d.fontName = name; });
    }
    void setDateFontSize(double size) override {
        changeDate([&](DateOverlay& d) { d.fontSize = size; });
    }
    void setDateFontStyle(int style) override {
        changeDate([&](DateOverlay& d) { d.fontStyle = style; });
    }
    void drawDateTime(int format, int left, int top) override {
        changeDate([&](DateOverlay& d) {
            d.format = format >= 0 && format < kDateFormatCount ? format : 0;
            d.left = left;
            d.top = top;
        });
    }
    void showText(int, bool on) override {
        changeText([&](TextOverlay& t) { t.shown = on; });
    }
    void drawText(int, int left, int top, const std::string& text) override {
        changeText([&](TextOverlay& t) {
            t.left = left;
            t.top = top;
            t.text = text;
            t.placed = true;
        });
    }
    void setTextColor(int, Rgb color) override {
        changeText([&](TextOverlay& t) { t.color = color; });
    }
    void setFontName(int, const std::string& name) override {
        changeText([&](TextOverlay& t) { t.fontName = name; });
    }
    void setFontSize(int, int size) override {
        changeText([&](TextOverlay& t) { t.fontSize = size; });
    }
    void setFontStyle(int, int style) override {
        changeText([&](TextOverlay& t) { t.fontStyle = style; });
    }
    void setTextStyle(int, int style) override {
        if (style >= 0 && style < kTextStyleCount)
            changeText([&](TextOverlay& t) { t.style = static_cast<TextStyle>(style); });
    }
    void setOutlineBackColor(int, Rgb color) override {
        changeText([&](TextOverlay& t) { t.outlineBack = color; });
    }
    void setOutlineBorderColor(int, Rgb color) override {
        changeText([&](TextOverlay& t) { t.outlineBorder = color; });
    }
    void setHatchBrush(int, int style, Rgb fore, Rgb back) override {
        changeText([&](TextOverlay& t) {
            t.hatchStyle = style;
            t.hatchFore = fore;
            t.hatchBack = back;
        });
    }
    void setTextureImage(int, const std::string& path) override {
        changeText([&](TextOverlay& t) { t.textureImage = path; });
    }
    void showImage(int, bool on) override {
        overlays_.image.shown = on;
        pushOverlays();
    }
    void drawImage(int, int left, int top, const std::string& path, Rgb transparent,
                   int alpha) override {
        ImageOverlay& i = overlays_.image;
        i.left = left;
        i.top = top;
        i.path = path;
        i.transparent = transparent;
        i.alpha = std::clamp(alpha, 0, 255);
        i.placed = true;
        pushOverlays();
    }
    void setRotation(int position) override {
        if (position < 0 || position >= kRotationCount)
            return;
        worker_.post([this, position] { pipeline_->setRotation(position); });
    }
    void invertColor(bool on) override { hub_.invert = on; }

    void setPreviewTarget(PreviewTarget* target) override {
        target_ = target;
        updateLook();
        refreshPicture();
    }
    void setErrorHandler(ErrorHandler h) override { onError_ = std::move(h); }
    void setDevicesChangedHandler(std::function<void()> h) override { onDevices_ = std::move(h); }
    void setRecordingHandler(RecordingHandler h) override { onRecording_ = std::move(h); }
    bool deviceAvailable() const override { return !catalog_->current()->video.empty(); }

  private:
    static constexpr const char* kNoCamera = "No camera found";

    // How a recording's file ended, as the worker saw it.
    struct Outcome {
        std::string path, problem;
        bool report = true; // false: its cause has been told already
    };
    // A recording whose file was made and whose end is not told yet.
    struct Open {
        std::string path;
        std::string cause; // why it was cut short, when the file's end does not say
    };

    static const VideoDevice* device(const DeviceLists& lists, int index) {
        const auto& v = lists.video;
        return index >= 0 && index < static_cast<int>(v.size())
                   ? &v[static_cast<std::size_t>(index)]
                   : nullptr;
    }

    void report(const std::string& file, const std::string& reason) {
        if (onError_)
            onError_({CaptureError::Source::Video, file, reason});
    }

    void noCamera() {
        message_ = kNoCamera;
        updateLook();
        if (!noCameraReported_)
            report({}, kNoCamera);
        noCameraReported_ = true;
    }

    // A failing snapshot on every tick is told once, until one succeeds.
    void snapshotFailed(const std::string& path, const std::string& reason) {
        if (reason == lastSnapshotError_)
            return;
        lastSnapshotError_ = reason;
        report(path, "Picture not saved: " + reason);
    }

    int startRecording() {
        if (!captureVideo_) {
            report(fileName_, "Capture Video is off: there is nothing to record");
            return kStartFailed;
        }
        EncoderSpec encoder; // uncompressed without a compressor
        if (useCompressor_) {
            if (compressor_ >= static_cast<int>(compressors_.size())) {
                report(fileName_, "No video compressor is available");
                return kStartFailed;
            }
            encoder = compressors_[static_cast<std::size_t>(compressor_)].encoder;
        }
        NewFile nf = createCaptureFile(fileName_);
        if (!nf.ok()) {
            report(fileName_, nf.reason);
            return nf.status;
        }
        ::close(nf.fd); // the file sink opens it by name
        if (nf.path != fileName_)
            report(nf.path, "Recording under this name: " + fileName_ + " already exists");
        endRecording();
        recording_ = fileName_;
        recordingId_ = ++lastId_;
        open_[recordingId_] = {nf.path, {}};
        tell({CaptureError::Source::Video, false, nf.path, {}});
        run();
        const RecordSpec r{recordingId_, nf.path, encoder};
        worker_.post([this, r] {
            if (std::string e = pipeline_->record(r); !e.empty()) {
                // Nothing was recorded: the empty file goes again. Without a
                // picture the camera's own failure has been told already.
                if (isEmptyFile(r.path))
                    ::unlink(r.path.c_str());
                ended(r.id, {r.path, e, pipeline_->running()});
            }
        });
        refreshPicture();
        return kStarted;
    }

    void endRecording() {
        if (recordingId_ == 0)
            return;
        const int id = recordingId_;
        worker_.post([this, id] { pipeline_->endRecording(id); });
        recording_.clear();
        recordingId_ = 0;
        refreshPicture();
    }

    // Starts the picture from the chosen camera and format (a camera that
    // is already running goes on).
    void run() {
        previewWanted_ = true;
        if (message_ == kNoCamera)
            message_.clear();
        updateLook();
        const int dev = device_, fmt = format_;
        worker_.post([this, dev, fmt] {
            // A start in the first moments waits for the first search.
            catalog_->waitSearched(std::chrono::seconds(2));
            auto lists = catalog_->current();
            if (lists->video.empty()) {
                sched_.post(life_.guard([this] {
                    noCamera();
                    if (previewWanted_) {
                        previewWanted_ = false;
                        endRecording();
                    }
                }));
                return;
            }
            const VideoDevice& d =
                lists->video[static_cast<std::size_t>(std::min<int>(dev, lists->video.size() - 1))];
            const VideoFormat& f = d.formats[static_cast<std::size_t>(
                fmt < static_cast<int>(d.formats.size()) ? fmt : 0)];
            const std::string error = pipeline_->start({d.handle, f.caps, f.fpsNum, f.fpsDen});
            if (!error.empty()) {
                sched_.post(life_.guard([this, error] { sourceStopped(error); }));
                return;
            }
            auto settings = pipeline_->colorBalance();
            sched_.post(life_.guard([this, settings] { deviceSettings_ = settings; }));
            paintOverlays();
        });
    }

    template <typename F> void changeText(F change) {
        change(overlays_.text);
        pushOverlays();
    }
    template <typename F> void changeDate(F change) {
        change(overlays_.date);
        pushOverlays();
    }

    // Overlay changes reach the worker once per turn, however many came.
    void pushOverlays() {
        {
            std::lock_guard l(overlayMutex_);
            pendingOverlays_ = overlays_;
        }
        if (!overlaysQueued_.exchange(true))
            worker_.post([this] { paintOverlays(); });
    }

    // Worker: paints the layers, and keeps the date ticking each second.
    void paintOverlays() {
        overlaysQueued_ = false;
        OverlaySettings s;
        {
            std::lock_guard l(overlayMutex_);
            s = pendingOverlays_;
        }
        layers_->update(s);
        if (!dateTicking_)
            dateTick();
    }

    void dateTick() {
        dateTicking_ = pipeline_->running() && layers_->tick();
        if (!dateTicking_)
            return;
        const auto now = std::chrono::system_clock::now();
        const auto intoSecond =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
        worker_.postAfter(std::chrono::milliseconds(1005) - intoSecond, [this] { dateTick(); });
    }

    bool showingPictures() const {
        return target_ && visible_ && previewWanted_ && (recordingId_ == 0 || previewWhenCapture_);
    }

    void deliverFrame() {
        framePending_ = false;
        if (showingPictures())
            target_->showFrame(hub_.latest());
    }

    void refreshPicture() {
        if (target_ && !showingPictures())
            target_->showFrame(nullptr);
    }

    void updateLook() {
        look_.visible = visible_;
        look_.message = message_;
        if (target_)
            target_->setLook(look_);
    }

    void sourceStopped(const std::string& reason) {
        if (!previewWanted_)
            return;
        previewWanted_ = false;
        if (auto it = open_.find(recordingId_); it != open_.end())
            it->second.cause = "The camera stopped: " + reason;
        endRecording();
        refreshPicture();
        report({}, "The camera stopped: " + reason);
    }

    // Worker: a recording's file is finished (or was never begun).
    void ended(int id, Outcome o) {
        {
            std::lock_guard l(outcomeMutex_);
            outcomes_[id] = std::move(o);
        }
        sched_.post(life_.guard([this, id] { recordingEnded(id); }));
    }

    std::optional<Outcome> takeOutcome(int id) {
        std::lock_guard l(outcomeMutex_);
        auto it = outcomes_.find(id);
        if (it == outcomes_.end())
            return std::nullopt;
        Outcome o = std::move(it->second);
        outcomes_.erase(it);
        return o;
    }

    void recordingEnded(int id) {
        std::optional<Outcome> o = takeOutcome(id);
        if (!o)
            return;
        if (id == recordingId_) {
            recording_.clear();
            recordingId_ = 0;
            refreshPicture();
        }
        if (!o->problem.empty() && o->report)
            report(o->path, o->problem);
        tellEnd(id, o->problem);
    }

    void tellEnd(int id, const std::string& problem) {
        auto it = open_.find(id);
        if (it == open_.end())
            return;
        const Open rec = std::move(it->second);
        open_.erase(it);
        tell({CaptureError::Source::Video, true, rec.path, problem.empty() ? rec.cause : problem});
    }

    // The destructor: every file made is finished now (or never will be).
    void tellEndsAtExit() {
        while (!open_.empty()) {
            const int id = open_.begin()->first;
            std::optional<Outcome> o = takeOutcome(id);
            std::string problem = o ? o->problem : kUnfinishedAtExit;
            if (!o && isEmptyFile(open_.begin()->second.path)) {
                // Its recording never began: the empty file goes again.
                ::unlink(open_.begin()->second.path.c_str());
                problem = kNotBegunAtExit;
            }
            if (problem.empty() && id == recordingId_)
                problem = kEndedByExit;
            tellEnd(id, problem);
        }
    }

    void tell(const RecordingNotice& n) {
        if (onRecording_)
            onRecording_(n);
    }

    Scheduler& sched_;
    std::shared_ptr<DeviceCatalog> catalog_;
    std::unique_ptr<FrameWriter> writer_;
    FrameHub hub_;
    std::vector<Compressor> compressors_;

    // Window thread.
    bool visible_ = true, captureToFile_ = false, previewWhenCapture_ = true;
    bool captureVideo_ = true, useCompressor_ = true;
    int device_ = 0, selected_ = 0, format_ = 0, compressor_ = 0;
    std::string fileName_, recording_, message_, lastSnapshotError_;
    int recordingId_ = 0, lastId_ = 0;
    bool previewWanted_ = false, stopCheckPosted_ = false, noCameraReported_ = false;
    OverlaySettings overlays_;
    PreviewLook look_;
    PreviewTarget* target_ = nullptr;
    std::vector<Setting> deviceSettings_;
    ErrorHandler onError_;
    std::function<void()> onDevices_;
    RecordingHandler onRecording_;
    std::map<int, Open> open_;
    std::atomic<bool> framePending_{false};

    // Written by the worker, taken on the window thread.
    std::mutex outcomeMutex_;
    std::map<int, Outcome> outcomes_;

    // Handed from the window thread to the worker.
    std::mutex overlayMutex_;
    OverlaySettings pendingOverlays_;
    std::atomic<bool> overlaysQueued_{false};

    // Worker.
    std::unique_ptr<VideoPipeline> pipeline_;
    std::unique_ptr<OverlayLayers> layers_;
    bool dateTicking_ = false;
    // Guards every callback another thread, the scheduler or the catalog
    // makes into this control.
    Lifetime life_;
    WorkerThread worker_; // last: stopped before the members its tasks use
};

} // namespace

std::unique_ptr<VideoControl> makeGstVideo(std::shared_ptr<DeviceCatalog> catalog,
                                           Scheduler& sched) {
    return std::make_unique<GstVideo>(std::move(catalog), sched);
}

} // namespace kestle::capture
