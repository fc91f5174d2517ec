// SPDX-License-Identifier: GPL-3.0-or-later
// What sealing a night's evidence costs at exit: a constant session with
// the simulated Kestle in virtual time for HOURS hours (default 8), then a
// capture of SIZE megabytes (default 1024) made in the data folder, then
// Exit, at once or WAIT seconds later (time for the session to hash the
// finished capture). Prints the time from Exit to the sealed bag.
//
//   build/bench/bench/seal_bench [HOURS [SIZE_MB [WAIT]]]
#include "evidence/bagit.h"
#include "virtual_session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace kestle;

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::atof(argv[1]) : 8.0;
    const long sizeMb = argc > 2 ? std::atol(argv[2]) : 1024;
    const int wait = argc > 3 ? std::atoi(argv[3]) : 0;
    const fs::path dir = bench::freshFolder(fs::temp_directory_path() /
                                            ("kestle-seal-" + std::to_string(::getpid())));
    const auto total = static_cast<Millis>(hours * 3.6e6);
    const auto t0 = std::chrono::steady_clock::now();
    bench::VirtualSession session(dir, "click Option1(7)\nwait " + std::to_string(total) + "\n");
    if (!session.run)
        return 2;
    session.sched.runUntil(total);
    const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    // The capture: written as a recording would be, before the end.
    {
        std::ofstream cap(dir / "data" / "1 Alarm_VIDEO.avi", std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 2654435761u >> 24);
        for (long i = 0; i < sizeMb; ++i) {
            block[0] = static_cast<char>(i);
            cap.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(wait));
    const auto t1 = std::chrono::steady_clock::now();
    session.run->window().quit();
    session.sched.run();
    session.run.reset(); // the bag is sealed when the run ends
    const double sealed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t1).count();

    fs::path bag;
    for (const auto& e : fs::directory_iterator(dir / "data" / "Sessions"))
        bag = e.path();
    std::uintmax_t logBytes = 0;
    for (const auto& e : fs::directory_iterator(bag / "data" / "logs"))
        logBytes += e.file_size();
    const auto t2 = std::chrono::steady_clock::now();
    const auto problems = evidence::verifyBag(bag);
    const double verified =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t2).count();
    std::printf("session %.1f h in virtual time (%.1f s), logs %.1f MB, capture %ld MB\n", hours,
                ran, static_cast<double>(logBytes) / 1e6, sizeMb);
    std::printf("exit %d s after the capture ended: sealed bag in %.2f s; verifying it: %.2f s, "
                "%zu problems\n",
                wait, sealed, verified, problems.size());
    fs::remove_all(dir);
    return problems.empty() ? 0 : 1;
}
