// SPDX-License-Identifier: GPL-3.0-or-later
// The device catalog on the GStreamer device monitor.
#include "capture/device_catalog.h"

#include "support/gst_glue.h"
#include "support/gst_runtime.h"
#include "support/lifetime.h"
#include "support/worker_thread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kestle::capture {

namespace {

class FixedCatalog final : public DeviceCatalog {
  public:
    explicit FixedCatalog(DeviceLists l) : lists_(std::make_shared<DeviceLists>(std::move(l))) {}
    std::shared_ptr<const DeviceLists> current() const override { return lists_; }
    void subscribe(std::function<void()>) override {}
    bool waitSearched(std::chrono::milliseconds) const override { return true; }

  private:
    std::shared_ptr<const DeviceLists> lists_;
};

std::shared_ptr<void> holdDevice(GstDevice* d) {
    return std::shared_ptr<void>(gst_object_ref(d), [](void* p) { gst_object_unref(p); });
}

std::string text(gchar* owned) {
    std::string s = owned ? owned : "";
    g_free(owned);
    return s;
}

// The highest frame rate a caps field offers; 0/1 when it offers none.
std::pair<int, int> highestRate(const GValue* v) {
    std::pair<int, int> best{0, 1};
    auto consider = [&best](int n, int d) {
        if (d > 0 &&
            static_cast<long long>(n) * best.second > static_cast<long long>(best.first) * d)
            best = {n, d};
    };
    if (!v)
        return best;
    if (GST_VALUE_HOLDS_FRACTION(v)) {
        consider(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v));
    } else if (GST_VALUE_HOLDS_LIST(v)) {
        for (guint i = 0; i < gst_value_list_get_size(v); ++i) {
            const GValue* e = gst_value_list_get_value(v, i);
            if (GST_VALUE_HOLDS_FRACTION(e))
                consider(gst_value_get_fraction_numerator(e),
                         gst_value_get_fraction_denominator(e));
        }
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
        const GValue* hi = gst_value_get_fraction_range_max(v);
        consider(gst_value_get_fraction_numerator(hi), gst_value_get_fraction_denominator(hi));
    }
    return best;
}

// One entry per raw or MJPEG size a camera offers, at its highest rate.
std::vector<VideoFormat> formatsOf(GstDevice* d) {
    std::vector<VideoFormat> out;
    GstCaps* caps = gst_device_get_caps(d);
    if (!caps)
        return out;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        const std::string media = gst_structure_get_name(s);
        int w = 0, h = 0;
        if ((media != "video/x-raw" && media != "image/jpeg") ||
            !gst_structure_get_int(s, "width", &w) || !gst_structure_get_int(s, "height", &h))
            continue;
        const auto [n, den] = highestRate(gst_structure_get_value(s, "framerate"));
        if (n <= 0)
            continue;
        const char* fmt = gst_structure_get_string(s, "format");
        VideoFormat f;
        f.width = w;
        f.height = h;
        f.fpsNum = n;
        f.fpsDen = den;
        f.name = std::to_string(w) + "x" + std::to_string(h) + " " +
                 (media == "image/jpeg" ? "MJPG"
                  : fmt                 ? fmt
                                        : "raw") +
                 " " + std::to_string((n + den / 2) / den) + " fps";
        GstStructure* one = gst_structure_copy(s);
        gst_structure_set(one, "framerate", GST_TYPE_FRACTION, n, den, nullptr);
        GstCaps* c = gst_caps_new_full(one, nullptr);
        f.caps = text(gst_caps_to_string(c));
        gst_caps_unref(c);
        if (std::none_of(out.begin(), out.end(),
                         [&f](const VideoFormat& o) { return o.name == f.name; }))
            out.push_back(std::move(f));
    }
    gst_caps_unref(caps);
    return out;
}

// A source that records what the computer plays, not a microphone.
bool isMonitor(GstDevice* d) {
    GstStructure* p = gst_device_get_properties(d);
    bool monitor = false;
    if (p) {
        const char* cls = gst_structure_get_string(p, "device.class");
        monitor = cls && std::string(cls) == "monitor";
        gst_structure_free(p);
    }
    return monitor;
}

class SystemCatalog final : public DeviceCatalog {
  public:
    explicit SystemCatalog(Scheduler& sched)
        : sched_(sched), shared_(std::make_shared<DeviceLists>()) {
        worker_.post([this] {
            if (!initGstreamer()) {
                publish(DeviceLists{true, {}, {}});
                return;
            }
            video_ = startMonitor("Video/Source");
            audio_ = startMonitor("Audio/Source");
            search();
        });
    }
    ~SystemCatalog() override {
        life_.end();
        worker_.stop(WorkerThread::kStopBound, [this] {
            for (Monitor* m : {&video_, &audio_}) {
                m->watch.reset();
                if (m->monitor)
                    gst_device_monitor_stop(m->monitor.get());
                m->monitor.reset();
            }
        });
    }

    std::shared_ptr<const DeviceLists> current() const override {
        std::lock_guard l(m_);
        return shared_;
    }
    void subscribe(std::function<void()> changed) override {
        subscribers_.push_back(std::move(changed));
    }
    bool waitSearched(std::chrono::milliseconds limit) const override {
        std::unique_lock l(m_);
        return searched_.wait_for(l, limit, [this] { return shared_->searched; });
    }

  private:
    struct Monitor {
        gst::Ptr<GstDeviceMonitor> monitor;
        std::unique_ptr<gst::BusWatch> watch;
    };

    Monitor startMonitor(const char* cls) {
        Monitor m;
        m.monitor = gst::own(gst_device_monitor_new());
        gst_device_monitor_add_filter(m.monitor.get(), cls, nullptr);
        // Plugged and pulled devices: search again (on the worker), once for
        // a burst of them.
        m.watch = std::make_unique<gst::BusWatch>(
            gst::own(gst_device_monitor_get_bus(m.monitor.get())),
            GstMessageType(GST_MESSAGE_DEVICE_ADDED | GST_MESSAGE_DEVICE_REMOVED),
            [this](gst::Message) {
                if (!rescanPending_.exchange(true))
                    worker_.postAfter(std::chrono::milliseconds(200), [this] {
                        rescanPending_ = false;
                        search();
                    });
            });
        // A provider without its server (PulseAudio not running) fails to
        // start: that is simply no devices of that class.
        if (!gst_device_monitor_start(m.monitor.get()))
            return {};
        return m;
    }

    void search() {
        DeviceLists l;
        l.searched = true;
        if (GstDeviceMonitor* videoMonitor = video_.monitor.get()) {
            GList* devices = gst_device_monitor_get_devices(videoMonitor);
            for (GList* i = devices; i; i = i->next) {
                auto* d = GST_DEVICE(i->data);
                VideoDevice v{
                    text(gst_device_get_display_name(d)), formatsOf(d), {"Camera"}, holdDevice(d)};
                if (!v.formats.empty())
                    l.video.push_back(std::move(v));
            }
            g_list_free_full(devices, gst_object_unref);
        }
        if (GstDeviceMonitor* audioMonitor = audio_.monitor.get()) {
            GList* devices = gst_device_monitor_get_devices(audioMonitor);
            for (GList* i = devices; i; i = i->next) {
                auto* d = GST_DEVICE(i->data);
                if (isMonitor(d))
                    continue;
                std::string name = text(gst_device_get_display_name(d));
                l.audio.push_back({name, {name}, holdDevice(d)});
            }
            g_list_free_full(devices, gst_object_unref);
        }
        publish(std::move(l));
    }

    void publish(DeviceLists l) {
        auto lists = std::make_shared<const DeviceLists>(std::move(l));
        {
            std::lock_guard lock(m_);
            shared_ = lists;
        }
        searched_.notify_all();
        sched_.post(life_.guard([this] {
            for (auto& fn : subscribers_)
                fn();
        }));
    }

    Scheduler& sched_;
    mutable std::mutex m_;
    mutable std::condition_variable searched_;
    std::shared_ptr<const DeviceLists> shared_; // guarded by m_
    std::vector<std::function<void()>> subscribers_;
    std::atomic<bool> rescanPending_{false};
    Monitor video_, audio_; // worker only
    Lifetime life_;         // guards the subscribers' calls
    WorkerThread worker_;   // last: stopped before the members its tasks use
};

} // namespace

std::shared_ptr<DeviceCatalog> makeTestCatalog() {
    return std::make_shared<FixedCatalog>(testDevices());
}

std::shared_ptr<DeviceCatalog> makeSystemCatalog(Scheduler& sched) {
    return std::make_shared<SystemCatalog>(sched);
}

} // namespace kestle::capture
