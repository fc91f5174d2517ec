// What a " Constant" session with the simulated Kestle costs: the program
// runs headless, then with its window (offscreen), and the CPU share of
// each over the same span of its running session (start-up and exit left
// out, read from /proc), their ratio and the cycle rate (rows of the data
// log a second) are printed.
//
//   footprint_bench [SECONDS [PROGRAM]]   (default 30 each, this build's kestle)
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

Run session(const std::string& program, bool window, int seconds) {
    const fs::path dir =
        fs::temp_directory_path() / ("kestle-footprint-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "Kestle.ini", std::ios::binary) << "[NAG]\r\nNAGSCREEN=1\r\n";
    std::ofstream(dir / "run.script")
        << "click Option1(7)\nwait " << (seconds + 2 * kSettle) * 1000 << "\nquit\n";
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
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (window)
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::FILE* out = std::freopen("/dev/null", "w", stdout);
        (void)out;
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
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
    ::waitpid(pid, &status, 0);
    fs::remove_all(dir);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    const std::string program = argc > 2 ? argv[2] : KESTLE_BINARY;
    const Run headless = session(program, false, seconds);
    const Run window = session(program, true, seconds);
    for (const auto& [name, r] : {std::pair{"headless", headless}, std::pair{"window", window}})
        std::printf("%-8s %5.2f %% of one core, %.1f data log rows a second (%.1f s)\n", name,
                    100 * r.cpuSeconds / r.wallSeconds, r.rows / r.wallSeconds, r.wallSeconds);
    std::printf("window / headless: %.2f\n", (window.cpuSeconds / window.wallSeconds) /
                                                 (headless.cpuSeconds / headless.wallSeconds));
    return 0;
}
