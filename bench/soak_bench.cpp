// SPDX-License-Identifier: GPL-3.0-or-later
// A long night in virtual time: a constant session ("Constant" answer time)
// with the simulated Kestle, the data log on, for HOURS hours (default 24).
// Prints the resident memory and the open files at the start, every few
// hours and at the end, and the rows the data log gained. A steady program
// keeps both flat.
//
//   build/bench/bench/soak_bench [HOURS] [FOLDER]
#include "virtual_session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace kestle;

long residentKb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int openFiles() {
    int n = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd"))
        n += e.path().filename() != "." ? 1 : 0;
    return n - 1; // the listing's own descriptor
}

std::uintmax_t fileSize(const fs::path& p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

void report(const char* when, Millis now, const fs::path& log) {
    std::printf("%-6s %6.2f h  memory %7.1f MB  open files %d  data log %ju bytes\n", when,
                static_cast<double>(now) / 3.6e6, static_cast<double>(residentKb()) / 1024.0,
                openFiles(), fileSize(log));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::atof(argv[1]) : 24.0;
    const fs::path dir =
        argc > 2 ? fs::path(argv[2])
                 : fs::temp_directory_path() / ("kestle-soak-" + std::to_string(::getpid()));
    bench::freshFolder(dir);
    const auto total = static_cast<Millis>(hours * 3.6e6);
    bench::VirtualSession session(dir,
                                  "click Option1(7)\ntype question Is anyone here?\\r\\n\nwait " +
                                      std::to_string(total) + "\n");
    if (!session.run)
        return 2;
    VirtualScheduler& sched = session.sched;
    const fs::path log = dir / "data" / "CV_data_file.csv";
    sched.runUntil(60'000); // started, one minute of readings
    report("start", sched.nowMs(), log);
    const Millis step = 4 * 3'600'000;
    for (Millis t = step; t < total; t += step) {
        sched.runUntil(t);
        report("", sched.nowMs(), log);
    }
    sched.runUntil(total);
    report("end", sched.nowMs(), log);
    session.run->window().quit();
    std::printf("folder %s\n", dir.c_str());
    return 0;
}
