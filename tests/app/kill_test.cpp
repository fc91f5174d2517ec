// SPDX-License-Identifier: GPL-3.0-or-later
// The program killed (SIGKILL) at random moments: while it saves its
// settings, and while it writes its data log. Kestle.ini is always the old
// or the new text and no temporary file outlives the next start; the log
// holds every row written before the kill and never part of one.
#include "capture/kestle_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <random>
#include <sys/inotify.h>

namespace kestle::app {
namespace {

using capture::test::KestleProcess;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kKills = 100;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> temporaries(const fs::path& dir) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().starts_with("Kestle.ini.tmp"))
            r.push_back(e.path().filename().string());
    return r;
}

// Watches a folder for the moments of a save: the settings file read for the
// `nth` time (the save reads it after the two reads of the start), and the
// new text renamed over it.
class SaveWatch {
  public:
    explicit SaveWatch(const fs::path& dir) : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        // IN_OPEN too: the kernel merges identical events queued back to back,
        // and an open between two closes keeps the reads apart.
        ::inotify_add_watch(fd_, dir.c_str(), IN_OPEN | IN_CLOSE_NOWRITE | IN_MOVED_TO);
    }
    ~SaveWatch() { ::close(fd_); }
    // Waits for the event; false after `limit`.
    bool awaitRead(int nth, std::chrono::milliseconds limit) {
        return await(
            [&](const inotify_event& e) {
                return (e.mask & IN_CLOSE_NOWRITE) && name(e) == "Kestle.ini" && ++reads_ == nth;
            },
            limit);
    }
    bool awaitRename(std::chrono::milliseconds limit) {
        return await(
            [&](const inotify_event& e) {
                return (e.mask & IN_MOVED_TO) && name(e) == "Kestle.ini";
            },
            limit);
    }

  private:
    static std::string name(const inotify_event& e) { return e.len ? e.name : ""; }
    template <typename Match> bool await(Match match, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        alignas(inotify_event) char buf[4096];
        while (Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            for (ssize_t i = 0; i < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + i);
                if (match(*e))
                    return true;
                i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return false;
    }
    int fd_;
    int reads_ = 0;
};

void spinFor(std::chrono::microseconds d) {
    const auto end = Clock::now() + d;
    while (Clock::now() < end) {
    }
}

const std::vector<std::string> kVirtual = {"--clock", "2026-12-07T04:50:20", "--capture", "none"};

TEST(Kill, DuringTheSettingsSaveKestleIniIsTheOldOrTheNewText) {
    KestleProcess p;
    std::string old = "[NAG]\r\nNAGSCREEN=5\r\n\r\n[MAG]\r\nCAL=2.5\r\n\r\n[VIDEO]\r\nV1=Hall\r\n";
    for (int i = 0; i < 200; ++i) // unrelated lines are carried through every save
        old += "note" + std::to_string(i) + "=kept as it is\r\n";
    const std::string script = "click subhz\nclick lowhz3\nquit\n";

    // The new text, and how long a save takes here.
    writeAll(p.dir() / "Kestle.ini", old);
    std::chrono::microseconds saveTime{};
    {
        SaveWatch watch(p.dir());
        p.start(script, kVirtual);
        ASSERT_TRUE(watch.awaitRead(3, 60s));
        const auto t0 = Clock::now();
        ASSERT_TRUE(watch.awaitRename(60s));
        saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0);
        ASSERT_EQ(p.wait(), 0);
    }
    const std::string fresh = readAll(p.dir() / "Kestle.ini");
    ASSERT_NE(fresh, old);
    ASSERT_NE(fresh.find("SUBHZ=True"), std::string::npos);

    std::mt19937 random(12345);
    std::uniform_int_distribution<long> moment(0, std::max<long>(saveTime.count() * 3 / 2, 500));
    int oldText = 0, newText = 0;
    for (int k = 0; k < kKills; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        writeAll(p.dir() / "Kestle.ini", old);
        SaveWatch watch(p.dir());
        p.start(script, kVirtual);
        ASSERT_TRUE(watch.awaitRead(3, 60s));
        // The start has cleared what the last kill left.
        EXPECT_EQ(temporaries(p.dir()), std::vector<std::string>{});
        spinFor(std::chrono::microseconds(moment(random)));
        p.kill9();
        const std::string now = readAll(p.dir() / "Kestle.ini");
        ASSERT_TRUE(now == old || now == fresh) << now;
        ++(now == old ? oldText : newText);
    }
    p.start("quit\n", kVirtual);
    ASSERT_EQ(p.wait(), 0);
    EXPECT_EQ(temporaries(p.dir()), std::vector<std::string>{});
    std::printf("settings save %lld us; %d kills: %d old text, %d new text\n",
                static_cast<long long>(saveTime.count()), kKills, oldText, newText);
}

TEST(Kill, DuringLoggingTheLogKeepsEveryRowAndNoPart) {
    KestleProcess p;
    const std::string ini = "[NAG]\r\nNAGSCREEN=5\r\n";
    // Questions and rows in virtual time: the same log on every run, so a
    // killed run's log must be a beginning of it that ends between writes.
    const std::string script = "click Option1(7)\ntype question Is anyone here?\\r\\n\nwait 8000\n"
                               "type question Again?\\r\\n\nwait 8000\nquit\n";
    writeAll(p.dir() / "Kestle.ini", ini);
    const auto t0 = Clock::now();
    p.start(script, kVirtual);
    ASSERT_EQ(p.wait(), 0);
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0);
    const std::string full = readAll(p.data() / "CV_data_file.csv");
    ASSERT_GT(std::count(full.begin(), full.end(), '\n'), 30) << full;

    std::mt19937 random(6789);
    std::uniform_int_distribution<long> moment(0, runTime.count());
    int rowsSeen = 0;
    for (int k = 0; k < kKills; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        fs::remove_all(p.data());
        writeAll(p.dir() / "Kestle.ini", ini);
        p.start(script, kVirtual);
        spinFor(std::chrono::microseconds(moment(random)));
        p.kill9();
        const std::string log = readAll(p.data() / "CV_data_file.csv");
        ASSERT_EQ(full.compare(0, log.size(), log), 0) << log;
        ASSERT_TRUE(log.empty() || log.ends_with("\r\n\r\n")) << log;
        rowsSeen += static_cast<int>(std::count(log.begin(), log.end(), '\n') / 2);
    }
    std::printf("logging session %lld us; %d kills, %d rows and headers found whole\n",
                static_cast<long long>(runTime.count()), kKills, rowsSeen);
}

} // namespace
} // namespace kestle::app
