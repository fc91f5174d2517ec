// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of a recording night: 640x480 at 30 fps from the test pattern,
// shown live with three overlays and recorded as MJPEG AVI, for a minute
// (or the seconds given). Prints the frames in the file, repeated frames,
// the process's CPU share, how long the window thread spent in each call,
// and its longest stall.
//
//   capture_bench [SECONDS]      (QT_QPA_PLATFORM=offscreen without a display)
#include "capture/device_catalog.h"
#include "capture/gst_capture.h"
#include "capture/media_check.h"
#include "support/gst_runtime.h"
#include "ui/qt_scheduler.h"
#include "ui/video_preview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace kestle;
namespace fs = std::filesystem;

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Longest time the window thread spent in each kind of call, in ms.
std::map<std::string, double> worst;
template <typename F> void timed(const std::string& what, F call) {
    QElapsedTimer t;
    t.start();
    call();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    worst[what] = std::max(worst[what], ms);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    QApplication app(argc, argv);
    if (!initGstreamer()) {
        std::fprintf(stderr, "GStreamer does not start\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("kestle-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string avi = (dir / "night.AVI").string();

    ui::QtScheduler sched;
    auto video = capture::makeGstVideo(capture::makeTestCatalog(), sched);
    ui::VideoPreview preview;
    preview.resize(201, 152);
    preview.show();
    video->setPreviewTarget(&preview);
    video->setErrorHandler(
        [](const capture::CaptureError& e) { std::printf("error: %s\n", describe(e).c_str()); });

    // The window thread's longest wait between two 10 ms ticks.
    double stall = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        stall = std::max(stall, double(tick.nsecsElapsed()) / 1e6 - 10);
        tick.restart();
    });
    beat.start(10);

    const std::string box = (fs::path(KESTLE_SOURCE) / "assets" / "BOX.BMP").string();
    timed("overlay change", [&] { video->drawText(0, 0, 30, "Kestle bench\n\rHall camera"); });
    timed("overlay change", [&] { video->drawImage(0, 0, 50, box, 0, 255); });
    timed("overlay change", [&] { video->drawDateTime(7, 0, 0); });
    timed("overlay change", [&] { video->setShowDateTime(true); });
    video->setCaptureFileName(avi);
    video->setCaptureToFile(true);
    double cpuAtStart = 0;
    QElapsedTimer wall;
    timed("Start", [&] { (void)video->start(); });
    cpuAtStart = cpuSeconds();
    wall.start();

    int elapsed = 0;
    QTimer each;
    QObject::connect(&each, &QTimer::timeout, [&] {
        ++elapsed;
        timed("SnapShot", [&] {
            video->snapShot((dir / ("shot" + std::to_string(elapsed) + ".jpg")).string());
        });
        if (elapsed % 5 == 0)
            timed("overlay change", [&] {
                video->drawText(0, 0, 30, "Kestle bench\n\r" + std::to_string(elapsed) + " s");
            });
        if (elapsed == seconds) {
            timed("Stop", [&] { video->stop(); });
            each.stop();
            QTimer::singleShot(0, [] { QApplication::quit(); });
        }
    });
    each.start(1000);
    app.exec();
    const double cpu = cpuSeconds() - cpuAtStart;
    const double wallSeconds = double(wall.elapsed()) / 1000.0;
    const long long painted = preview.framesShown();
    video.reset(); // finishes the file

    const auto a = capture::test::readAvi(avi);
    // The pattern moves every frame: a picture equal to the one before it
    // was repeated to fill a frame that never came.
    int repeated = 0;
    {
        const std::string bytes = capture::test::fileBytes(avi);
        std::string last;
        std::size_t at = 0;
        while ((at = bytes.find("00dc", at)) != std::string::npos) {
            const std::size_t size = capture::test::le32(bytes, at + 4);
            if (at + 8 + size > bytes.size())
                break;
            std::string frame = bytes.substr(at + 8, size);
            repeated += frame == last;
            last = std::move(frame);
            at += 8 + size;
        }
    }
    std::printf("recorded %.1f s: %d frames in the file (%.2f fps over the wall time), "
                "%d repeated, %s, index %s\n",
                wallSeconds, a.frames, a.frames / wallSeconds, repeated, a.codec.c_str(),
                a.indexed ? "written" : "MISSING");
    std::printf("live picture: %lld frames painted (%.1f fps)\n", painted,
                double(painted) / wallSeconds);
    std::printf("CPU: %.1f %% of one core for the whole process\n", 100.0 * cpu / wallSeconds);
    for (const auto& [what, ms] : worst)
        std::printf("window thread, longest %s: %.2f ms\n", what.c_str(), ms);
    std::printf("window thread, longest stall beyond a 10 ms tick: %.1f ms\n", stall);
    fs::remove_all(dir);
    return 0;
}
