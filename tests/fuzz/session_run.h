// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One headless session inside the fuzz target's process: the simulated or a
// replayed Kestle, no speech, no capture, virtual time from a fixed clock,
// in a folder of this process whose data folder starts empty each time.
// Runs at most `limitMs` of virtual time, then chooses Exit.
#include "app/application.h"
#include "app/headless_host.h"
#include "support/virtual_scheduler.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestle::fuzz {

namespace fs = std::filesystem;

inline fs::path sessionFolder() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kestle-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        std::ofstream(d / "list.txt", std::ios::binary) << "yes\r\n\r\nno\r\nmaybe";
        return d;
    }();
    return dir;
}

struct SessionEnd {
    std::string out;    // standard output, or why the session could not start
    bool ended = false; // Exit ended it
};

inline SessionEnd runSession(const std::string& script, const std::string& device, Millis limitMs) {
    const fs::path dir = sessionFolder();
    fs::remove_all(dir / "data");
    std::ofstream(dir / "Kestle.ini", std::ios::binary | std::ios::trunc)
        << "[NAG]\r\nNAGSCREEN=3\r\n";
    const std::vector<std::string> args = {"--headless",
                                           "--device",
                                           device,
                                           "--speech",
                                           "none",
                                           "--capture",
                                           "none",
                                           "--clock",
                                           "2026-12-07T04:50:20",
                                           "--app-dir",
                                           dir.string(),
                                           "--data-dir",
                                           (dir / "data").string(),
                                           "--user-list",
                                           (dir / "list.txt").string(),
                                           "--script",
                                           "-"};
    const app::ParseResult parsed = app::parseOptions(args);
    if (!parsed.error.empty())
        return {parsed.error, false};
    const app::Paths paths = app::resolvePaths(parsed.options, dir);
    VirtualScheduler sched(*parsed.options.clock);
    std::istringstream in(script);
    std::ostringstream out;
    app::HeadlessHost host(out);
    auto run = app::AppRun::make(parsed.options, paths, sched, host, in, out, &host, false);
    if (!run)
        return {run.error(), false};
    (*run)->start(true);
    sched.runUntil(limitMs);
    if (!(*run)->window().ended())
        (*run)->window().quit();
    return {out.str(), (*run)->window().ended()};
}

} // namespace kestle::fuzz
