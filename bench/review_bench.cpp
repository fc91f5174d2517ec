// SPDX-License-Identifier: GPL-3.0-or-later
// What opening a night's review costs: a constant session with the
// simulated Kestle in virtual time for HOURS hours (default 8) with a
// question every QUESTION minutes (default 10), sealed, then opened: the
// bag read into its model and verified alone, and the review window
// (offscreen) from its construction until the night is drawn and until its
// verification is told. Prints each, and the size of what was read.
//
//   build/bench/bench/review_bench [HOURS [QUESTION_MINUTES]]
#include "evidence/bagit.h"
#include "review/session_model.h"
#include "ui/readings_chart.h"
#include "ui/review_window.h"
#include "virtual_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kestle;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double hours = argc > 1 ? std::atof(argv[1]) : 8.0;
    const int every = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const fs::path dir = bench::freshFolder(fs::temp_directory_path() /
                                            ("kestle-review-" + std::to_string(::getpid())));
    const auto total = static_cast<Millis>(hours * 3.6e6);
    std::string script = "click Option1(7)\n";
    for (Millis t = 0; t + every * 60000 < total; t += every * 60000)
        script +=
            "type question Is anyone here?\\r\\n\nwait " + std::to_string(every * 60000) + "\n";
    script += "wait " + std::to_string(total % (every * 60000) + 1) + "\n";
    fs::path bag;
    {
        const auto t0 = std::chrono::steady_clock::now();
        bench::VirtualSession session(dir, script);
        if (!session.run)
            return 2;
        session.sched.runUntil(total);
        session.run->window().quit();
        session.sched.run();
        session.run.reset();
        std::printf("session %.1f h in virtual time: %.1f s\n", hours,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    for (const auto& e : fs::directory_iterator(dir / "data" / "Sessions"))
        bag = e.path();
    std::uintmax_t logBytes = 0;
    for (const auto& e : fs::directory_iterator(bag / "data" / "logs"))
        logBytes += e.file_size();

    QElapsedTimer t;
    t.start();
    auto model = review::loadSession(bag, false);
    const double read = t.elapsed() / 1000.0;
    if (!model) {
        std::fprintf(stderr, "%s\n", model.error().c_str());
        return 1;
    }
    t.restart();
    const auto problems = evidence::verifyBag(bag);
    const double verify = t.elapsed() / 1000.0;
    std::printf("bag: logs %.1f MB, %zu readings, %zu events, %zu files\n", logBytes / 1e6,
                model->series[0].size(), model->events.size(), model->files.size());
    std::printf("reading the bag into its model: %.2f s; verifying it: %.2f s (%zu problems)\n",
                read, verify, problems.size());

    t.restart();
    ui::ReviewWindow w(bag);
    w.show();
    bool loaded = false, verified = false;
    w.onLoaded = [&] { loaded = true; };
    w.onVerified = [&] { verified = true; };
    while (!loaded)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    w.repaint();
    const double opened = t.elapsed() / 1000.0;
    while (!verified)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double checked = t.elapsed() / 1000.0;
    std::printf("opening the review window until the night is drawn: %.2f s (%s); its "
                "verification told after %.2f s\n",
                opened, opened <= 2.0 ? "within 2 s" : "OVER 2 s", checked);
    t.restart();
    w.chart().zoom(0.01, w.model()->startMs + (w.model()->endMs - w.model()->startMs) / 2);
    w.repaint();
    std::printf("zooming to 1 %% of the night and drawing it: %.3f s\n", t.elapsed() / 1000.0);
    fs::remove_all(dir);
    return opened <= 2.0 ? 0 : 1;
}
