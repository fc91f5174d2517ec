#pragma once
// Real AVIs from GStreamer's avimux, recorded the way the program records
// (live test pattern, videorate, MJPEG or uncompressed I420), by a
// gst-launch-1.0 process that can be killed or hit a full disk; and a
// GStreamer decode that counts the pictures a player gets out of a file.
#include "fakes/wait_for.h"
#include "support/gst_runtime.h"

#include <gst/gst.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestle::capture::test {

enum class AviCodec { Mjpeg, I420 };

class AviRecorder {
  public:
    // `frames` 0 records until killed, else that many and a proper finish;
    // `fileLimit` (bytes, 0: none) is a full disk at that size.
    AviRecorder(const std::filesystem::path& file, AviCodec codec, int width, int frames = 0,
                rlim_t fileLimit = 0) {
        const std::string caps = "video/x-raw,format=YUY2,width=" + std::to_string(width) +
                                 ",height=" + std::to_string(width * 3 / 4) + ",framerate=30/1";
        std::vector<std::string> args = {"gst-launch-1.0", "-q",           "-e",
                                         "videotestsrc",   "is-live=true", "pattern=ball"};
        if (frames > 0)
            args.push_back("num-buffers=" + std::to_string(frames));
        for (const char* a : {"!", caps.c_str(), "!", "videorate", "skip-to-first=true", "!",
                              "video/x-raw,framerate=30/1", "!", "videoconvert", "!"})
            args.emplace_back(a);
        if (codec == AviCodec::Mjpeg)
            args.insert(args.end(), {"jpegenc", "quality=85"});
        else
            args.emplace_back("video/x-raw,format=I420");
        args.insert(args.end(), {"!", "avimux", "!", "filesink", "location=" + file.string()});
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1), ::dup2(null, 2);
            if (fileLimit > 0) {
                std::signal(SIGXFSZ, SIG_IGN); // a full disk, not a crash
                const rlimit l{fileLimit, fileLimit};
                ::setrlimit(RLIMIT_FSIZE, &l);
            }
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~AviRecorder() { kill(); }
    AviRecorder(const AviRecorder&) = delete;
    AviRecorder& operator=(const AviRecorder&) = delete;

    // True when the process ended by itself within `limit` (then its status is known).
    bool ended(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        const bool done =
            pid_ > 0 && kestle::test::waitFor(
                            [&] { return ::waitpid(pid_, &status_, WNOHANG) == pid_; }, limit);
        if (done)
            pid_ = -1;
        return done;
    }
    int status() const { return status_; }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// Records into `file` until it holds at least `bytes`, then kills the
// recording (SIGKILL, as a crash or a power cut would end it).
inline bool recordAndKill(const std::filesystem::path& file, AviCodec codec, int width,
                          std::uintmax_t bytes) {
    AviRecorder r(file, codec, width);
    std::error_code ec;
    const bool grew = kestle::test::waitFor(
        [&] {
            const std::uintmax_t n = std::filesystem::file_size(file, ec);
            return !ec && n >= bytes;
        },
        std::chrono::seconds(30));
    r.kill();
    return grew;
}

// What a player gets out of a file: GStreamer's decodebin to a fakesink.
struct Decoded {
    int frames = 0;
    double seconds = -1; // the duration GStreamer states
    std::string error;   // empty when it played to the end
};

inline Decoded decodeAvi(const std::filesystem::path& file) {
    Decoded d;
    if (Status s = initGstreamer(); !s) {
        d.error = s.error();
        return d;
    }
    GError* err = nullptr;
    GstElement* pipe =
        gst_parse_launch("filesrc name=src ! decodebin ! fakesink name=sink sync=false", &err);
    if (!pipe) {
        d.error = err ? err->message : "no pipeline";
        g_clear_error(&err);
        return d;
    }
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipe), "src");
    g_object_set(src, "location", file.c_str(), nullptr);
    gst_object_unref(src);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipe), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer n) {
            g_atomic_int_inc(static_cast<int*>(n));
            return GST_PAD_PROBE_OK;
        },
        &d.frames, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);
    GstBus* bus = gst_element_get_bus(pipe);
    auto waitFor = [&](GstMessageType type) {
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, static_cast<GstMessageType>(type | GST_MESSAGE_ERROR));
        if (!m) {
            d.error = "timed out";
            return false;
        }
        const bool failed = GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR;
        if (failed) {
            GError* e = nullptr;
            gst_message_parse_error(m, &e, nullptr);
            d.error = e ? e->message : "error";
            g_clear_error(&e);
        }
        gst_message_unref(m);
        return !failed;
    };
    gst_element_set_state(pipe, GST_STATE_PAUSED);
    if (waitFor(GST_MESSAGE_ASYNC_DONE)) {
        gint64 ns = -1;
        if (gst_element_query_duration(pipe, GST_FORMAT_TIME, &ns) && ns >= 0)
            d.seconds = double(ns) / GST_SECOND;
        gst_element_set_state(pipe, GST_STATE_PLAYING);
        waitFor(GST_MESSAGE_EOS);
    }
    gst_element_set_state(pipe, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipe);
    return d;
}

} // namespace kestle::capture::test
