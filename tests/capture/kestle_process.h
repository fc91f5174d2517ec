// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the program itself, headless and in real time with the test pattern
// and the test tone, in a folder of its own (removed at the end): the way a
// night is recorded, and the only way to kill it in the middle. Its
// preferences are its own too, never the user's.
#include "fakes/wait_for.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestle::capture::test {

namespace fs = std::filesystem;

using kestle::test::waitFor;

class KestleProcess {
  public:
    KestleProcess() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("kestle-run-" + std::string(info->test_suite_name()) +
                                            "-" + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(data());
        // No disclaimer: the main window opens at once.
        std::ofstream(dir_ / "Kestle.ini", std::ios::binary) << "[NAG]\r\nNAGSCREEN=1\r\n";
        fs::copy_file(fs::path(KESTLE_TEST_DATA) / ".." / "assets" / "BOX.BMP", dir_ / "BOX.BMP");
    }
    ~KestleProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        fs::remove_all(dir_);
    }
    KestleProcess(const KestleProcess&) = delete;
    KestleProcess& operator=(const KestleProcess&) = delete;

    const fs::path& dir() const { return dir_; }
    fs::path data() const { return dir_ / "data"; }
    fs::path config() const { return dir_ / "config"; }
    // The preferences file's text for the next start.
    void preferences(const std::string& text) const {
        fs::create_directories(config() / "kestle");
        std::ofstream(config() / "kestle" / "preferences.ini", std::ios::binary) << text;
    }
    std::string out() const {
        std::ifstream in(dir_ / "out.txt", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Starts the program on `script`; `fileSizeLimit` (bytes, 0: none)
    // makes every file it writes hit a full disk at that size.
    void start(const std::string& script, std::vector<std::string> extra = {},
               rlim_t fileSizeLimit = 0) {
        std::ofstream(dir_ / "run.script", std::ios::binary) << script;
        std::vector<std::string> args = {KESTLE_BINARY, "--headless",
                                         "--device",    "sim",
                                         "--speech",    "none",
                                         "--capture",   "test",
                                         "--app-dir",   dir_.string(),
                                         "--data-dir",  data().string(),
                                         "--script",    (dir_ / "run.script").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            std::FILE* f = std::freopen((dir_ / "out.txt").c_str(), "w", stdout);
            (void)f;
            ::setenv("XDG_CONFIG_HOME", config().c_str(), 1);
            if (fileSizeLimit > 0) {
                std::signal(SIGXFSZ, SIG_IGN); // a full disk, not a crash
                const rlimit l{fileSizeLimit, fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &l);
            }
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    // The exit status, or -1 when it did not end within `limit` (then it is killed).
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        int status = 0;
        const bool ended =
            waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        if (!ended) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void sendSignal(int sig) { ::kill(pid_, sig); }
    pid_t pid() const { return pid_; }

    void kill9() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The session bags in the data folder, sorted.
    std::vector<fs::path> bags() const {
        std::vector<fs::path> r;
        std::error_code ec; // none yet: an empty list
        for (const auto& e : fs::directory_iterator(data() / "Sessions", ec))
            r.push_back(e.path());
        std::sort(r.begin(), r.end());
        return r;
    }

    // `kestle --verify DIR`: its exit status and output.
    static std::pair<int, std::string> verify(const fs::path& bag) {
        const std::string cmd =
            std::string(KESTLE_BINARY) + " --verify '" + bag.string() + "' 2>&1";
        std::FILE* p = ::popen(cmd.c_str(), "r");
        std::string out;
        char buf[512];
        while (p && std::fgets(buf, sizeof buf, p))
            out += buf;
        const int status = p ? ::pclose(p) : -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
    }

    // The data folder's files whose name ends with `suffix`, sorted.
    std::vector<fs::path> files(const std::string& suffix) const {
        std::vector<fs::path> r;
        for (const auto& e : fs::directory_iterator(data())) {
            const std::string n = e.path().filename().string();
            if (n.size() >= suffix.size() &&
                n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
                r.push_back(e.path());
        }
        std::sort(r.begin(), r.end());
        return r;
    }

  private:
    fs::path dir_;
    pid_t pid_ = -1;
};

} // namespace kestle::capture::test
