// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A constant session of the whole program, headless with the simulated
// Kestle in virtual time from 2026-12-07 22:00, in a folder of its own (the
// data folder is its "data"), for the benchmarks that run long nights.
#include "app/application.h"
#include "app/headless_host.h"
#include "support/virtual_scheduler.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace kestle::bench {

struct VirtualSession {
    // Starts `script` (operator lines); `run` stays empty, with the error
    // printed, when the program cannot start.
    VirtualSession(const std::filesystem::path& folder, const std::string& script)
        : dir(folder), sched(LocalDateTime{2026, 12, 7, 22, 0, 0}), in(script),
          out(folder / "out.txt"), host(out) {
        const std::vector<std::string> args = {"--headless",
                                               "--device",
                                               "sim",
                                               "--speech",
                                               "none",
                                               "--capture",
                                               "none",
                                               "--app-dir",
                                               dir.string(),
                                               "--data-dir",
                                               (dir / "data").string(),
                                               "--script",
                                               "-"};
        const app::ParseResult parsed = app::parseOptions(args);
        app::Options o = parsed.options;
        o.clock = sched.localNow();
        auto made =
            app::AppRun::make(o, app::resolvePaths(o, dir), sched, host, in, out, &host, false);
        if (!made) {
            std::fprintf(stderr, "%s\n", made.error().c_str());
            return;
        }
        run = std::move(*made);
        run->start(false);
    }

    std::filesystem::path dir;
    VirtualScheduler sched;
    std::istringstream in;
    std::ofstream out;
    app::HeadlessHost host;
    std::unique_ptr<app::AppRun> run;
};

// A fresh folder with settings that skip the disclaimer.
inline std::filesystem::path freshFolder(const std::filesystem::path& dir) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Kestle.ini", std::ios::binary) << "[NAG]\r\nNAGSCREEN=3\r\n";
    return dir;
}

} // namespace kestle::bench
