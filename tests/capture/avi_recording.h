// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real AVIs from GStreamer's avimux, recorded the way the program records
// (live test pattern, videorate, MJPEG or uncompressed I420) by a
// gst-launch-1.0 process that can be killed or hit a full disk; and a
// GStreamer decode that counts the pictures a player gets out of a file.
#include "fakes/wait_for.h"
#include "support/gst_runtime.h"

#include <gst/gst.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestle::capture::test {

enum class AviCodec { Mjpeg, I420 };

// Starts recording into `file`: `frames` 0 until killed, else that many and
// a proper finish; `fileLimit` (bytes, 0: none) is a full disk at that size.
inline pid_t startRecording(const std::filesystem::path& file, AviCodec codec, int width,
                            int frames = 0, rlim_t fileLimit = 0) {
    std::vector<std::string> args = {
        "gst-launch-1.0",
        "-q",
        "-e",
        "videotestsrc",
        "is-live=true",
        "pattern=ball",
        "num-buffers=" + std::to_string(frames > 0 ? frames : -1),
        "!",
        "video/x-raw,format=YUY2,width=" + std::to_string(width) +
            ",height=" + std::to_string(width * 3 / 4) + ",framerate=30/1",
        "!",
        "videorate",
        "skip-to-first=true",
        "!",
        "video/x-raw,framerate=30/1",
        "!",
        "videoconvert",
        "!",
        codec == AviCodec::Mjpeg ? "jpegenc" : "video/x-raw,format=I420",
        "!",
        "avimux",
        "!",
        "filesink",
        "location=" + file.string()};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open("/dev/null", O_WRONLY), 2);
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
    return pid;
}

// The exit status of `pid`, or -1 when it did not end within a minute.
inline int exitStatus(pid_t pid) {
    int status = 0;
    if (kestle::test::waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                              std::chrono::seconds(60)))
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// Records until the file holds at least `bytes`, then kills the recording
// (SIGKILL, as a crash would end it). False when it never got that far.
inline bool recordAndKill(const std::filesystem::path& file, AviCodec codec, int width,
                          std::uintmax_t bytes) {
    const pid_t pid = startRecording(file, codec, width);
    std::error_code ec;
    const bool grew =
        kestle::test::waitFor([&] { return std::filesystem::file_size(file, ec) >= bytes && !ec; },
                              std::chrono::seconds(30));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return grew;
}

// What a player gets out of a file: GStreamer's decodebin into a fakesink.
struct Decoded {
    int frames = 0;
    double seconds = -1; // the duration GStreamer states
    std::string error;   // empty when it played to the end
};

inline Decoded decodeAvi(const std::filesystem::path& file) {
    Decoded d;
    if (Status s = initGstreamer(); !s)
        return {0, -1, s.error()};
    GstElement* pipe =
        gst_parse_launch("filesrc name=src ! decodebin ! fakesink name=sink sync=false", nullptr);
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipe), "src");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipe), "sink");
    g_object_set(src, "location", file.c_str(), nullptr);
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer n) {
            g_atomic_int_inc(static_cast<int*>(n));
            return GST_PAD_PROBE_OK;
        },
        &d.frames, nullptr);
    GstBus* bus = gst_element_get_bus(pipe);
    // Waits for `type` or an error, a minute at most.
    auto reach = [&](GstState state, GstMessageType type) {
        gst_element_set_state(pipe, state);
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 60 * GST_SECOND, static_cast<GstMessageType>(type | GST_MESSAGE_ERROR));
        d.error = !m ? "timed out" : GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR ? "error" : "";
        if (m)
            gst_message_unref(m);
        return d.error.empty();
    };
    if (reach(GST_STATE_PAUSED, GST_MESSAGE_ASYNC_DONE)) {
        gint64 ns = -1;
        if (gst_element_query_duration(pipe, GST_FORMAT_TIME, &ns))
            d.seconds = double(ns) / GST_SECOND;
        reach(GST_STATE_PLAYING, GST_MESSAGE_EOS);
    }
    gst_element_set_state(pipe, GST_STATE_NULL);
    for (gpointer o : {gpointer(bus), gpointer(pad), gpointer(sink), gpointer(src), gpointer(pipe)})
        gst_object_unref(o);
    return d;
}

} // namespace kestle::capture::test
