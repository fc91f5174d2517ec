// SPDX-License-Identifier: GPL-3.0-or-later
// What a " Constant" session with the simulated Kestle costs: the program
// runs headless, then with its window (offscreen), and the CPU share of
// each over the same span of its running session (start-up and exit left
// out, read from /proc), their ratio and the cycle rate (rows of the data
// log a second) are printed. With --live-chart a third run has the window
// and the live chart open, and what the chart adds is printed. With
// --remote N the headless session serves the remote view, first with no
// page and then with N pages of a headless Chromium following it; what the
// pages add and how old a reading is when it reaches a page are printed.
//
//   footprint_bench [--live-chart | --remote N] [SECONDS [PROGRAM]]
//   (default 30 each, this build's kestle)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Run {
    double cpuSeconds = 0, wallSeconds = 0;
    long rows = 0;
    std::string pages; // what the pages measured (JSON), when there were any
};

constexpr int kSettle = 5; // seconds before the measured span

// User and system time of a process so far, in seconds.
double cpuOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string f;
    long ticks = 0;
    for (int i = 3; fields >> f; ++i) {
        if (i == 14 || i == 15)
            ticks += std::stol(f);
        if (i == 15)
            break;
    }
    return double(ticks) / double(::sysconf(_SC_CLK_TCK));
}

long rowsIn(const fs::path& log) {
    std::ifstream in(log);
    long rows = 0;
    for (std::string line; std::getline(in, line);)
        rows += line.size() > 1 && line.find(',') != std::string::npos;
    return rows;
}

// The first line of `file` that starts with `head`, without it; empty
// when there is none within `limit`.
std::string waitForLine(const fs::path& file, const std::string& head, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(head, 0) == 0)
                return line.substr(head.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

pid_t spawn(std::vector<std::string> args, const fs::path& out, bool offscreen) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (offscreen)
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::FILE* f = std::freopen(out.c_str(), "w", stdout);
        (void)f;
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// `remotePages`: -1 no remote view; else served, with that many pages.
Run session(const std::string& program, bool window, int seconds, bool liveChart = false,
            int remotePages = -1) {
    const fs::path dir =
        fs::temp_directory_path() / ("kestle-footprint-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "Kestle.ini", std::ios::binary) << "[NAG]\r\nNAGSCREEN=1\r\n";
    std::ofstream(dir / "run.script")
        << "click Option1(7)\nwait " << (seconds + 4 * kSettle) * 1000 << "\nquit\n";
    std::vector<std::string> args = {program,
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
                                     (dir / "run.script").string()};
    if (!window)
        args.insert(args.begin() + 1, "--headless");
    if (liveChart)
        args.push_back("--live-chart");
    if (remotePages >= 0)
        args.insert(args.end(), {"--remote", "127.0.0.1:0"});
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const pid_t pid = spawn(args, dir / "out.txt", window);
    pid_t pages = -1;
    if (remotePages > 0) {
        std::string url = waitForLine(dir / "out.txt", "REMOTE \"", std::chrono::seconds(30));
        if (!url.empty())
            url.pop_back(); // its closing quote
        pages =
            spawn({"python3", std::string(KESTLE_SOURCE) + "/tests/remote/browser.py", "--follow",
                   std::to_string(remotePages), std::to_string(seconds + 2 * kSettle), url},
                  dir / "pages.txt", false);
    }
    const fs::path log = dir / "data" / "CV_data_file.csv";
    std::this_thread::sleep_for(std::chrono::seconds(kSettle));
    const double cpu0 = cpuOf(pid);
    const long rows0 = rowsIn(log);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Run r;
    r.cpuSeconds = cpuOf(pid) - cpu0;
    r.rows = rowsIn(log) - rows0;
    r.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    int status = 0;
    if (pages > 0) {
        ::waitpid(pages, &status, 0);
        std::ifstream in(dir / "pages.txt");
        std::getline(in, r.pages);
    }
    ::waitpid(pid, &status, 0);
    fs::remove_all(dir);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool liveChart = !args.empty() && args[0] == "--live-chart";
    if (liveChart)
        args.erase(args.begin());
    int remotePages = -1;
    if (args.size() > 1 && args[0] == "--remote") {
        remotePages = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    const int seconds = !args.empty() ? std::max(5, std::atoi(args[0].c_str())) : 30;
    const std::string program = args.size() > 1 ? args[1] : KESTLE_BINARY;
    auto share = [](const Run& r) { return 100 * r.cpuSeconds / r.wallSeconds; };
    if (remotePages > 0) {
        const Run none = session(program, false, seconds, false, 0);
        const Run followed = session(program, false, seconds, false, remotePages);
        std::printf("remote view, no page: %5.2f %% of one core (%.1f s)\n", share(none),
                    none.wallSeconds);
        std::printf("remote view, %d pages: %5.2f %% of one core (%.1f s)\n", remotePages,
                    share(followed), followed.wallSeconds);
        std::printf("the pages add %.2f %% of one core\n", share(followed) - share(none));
        std::printf("pages: %s (ms from a reading to a page; it is read at most 250 ms after "
                    "the window shows it)\n",
                    followed.pages.c_str());
        return 0;
    }
    const Run headless = session(program, false, seconds);
    const Run window = session(program, true, seconds);
    std::vector<std::pair<const char*, Run>> runs = {{"headless", headless}, {"window", window}};
    if (liveChart)
        runs.push_back({"chart", session(program, true, seconds, true)});
    for (const auto& [name, r] : runs)
        std::printf("%-8s %5.2f %% of one core, %.1f data log rows a second (%.1f s)\n", name,
                    share(r), r.rows / r.wallSeconds, r.wallSeconds);
    std::printf("window / headless: %.2f\n", share(window) / share(headless));
    if (liveChart)
        std::printf("the live chart adds %.2f %% of one core to the window\n",
                    share(runs.back().second) - share(window));
    return 0;
}
