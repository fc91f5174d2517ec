// SPDX-License-Identifier: GPL-3.0-or-later
// The seal of a session killed at any of its steps, or a start that cannot
// write: the next start seals every bag valid, no lock outlives it, and a
// bag says it ended unexpectedly only when its journal has no end.
#include "capture/kestle_process.h"
#include "evidence/bagit.h"

#include <gmock/gmock.h>

#include <poll.h>
#include <random>
#include <sys/inotify.h>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using capture::test::KestleProcess;
using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<fs::path> sessionFolders(const fs::path& data) {
    std::set<fs::path> r;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(data / "Sessions", ec))
        r.insert(e.path());
    return r;
}

// The steps a session's folder goes through: files made, renamed and
// removed in it and in its data folder (not the journal's growth).
class FolderSteps {
  public:
    FolderSteps() : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {}
    ~FolderSteps() { ::close(fd_); }
    void watch(const fs::path& dir) {
        ::inotify_add_watch(fd_, dir.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    }
    // Waits for the next step; false after `limit`.
    bool next(std::chrono::milliseconds limit) {
        if (pending_ > 0) {
            --pending_;
            return true;
        }
        const auto end = Clock::now() + limit;
        alignas(inotify_event) char buf[4096];
        while (Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            for (ssize_t i = 0; i < n;
                 i += sizeof(inotify_event) + reinterpret_cast<const inotify_event*>(buf + i)->len)
                ++pending_;
            if (pending_ > 0) {
                --pending_;
                return true;
            }
        }
        return false;
    }

  private:
    int fd_;
    int pending_ = 0;
};

// A short real-time session with logged rows; its folder watched from the
// moment it appears.
struct WatchedRun {
    FolderSteps steps;
    fs::path folder;
    WatchedRun(KestleProcess& k, const std::set<fs::path>& before) {
        k.start("click Option1(7)\nwait 700\nquit\n", {"--capture", "none"});
        EXPECT_TRUE(kestle::test::waitFor(
            [&] {
                for (const fs::path& f : sessionFolders(k.data()))
                    if (!before.contains(f) && fs::exists(f / "data" / "journal.jsonl"))
                        folder = f;
                return !folder.empty();
            },
            30s));
        if (folder.empty())
            return;
        steps.watch(folder);
        steps.watch(folder / "data");
    }
};

void expectSealedAsTheJournalSays(const fs::path& bag) {
    SCOPED_TRACE(bag.string());
    std::vector<std::string> problems = verifyBag(bag);
    EXPECT_THAT(problems, ::testing::IsEmpty());
    EXPECT_FALSE(fs::exists(bag / ".lock"));
    EXPECT_FALSE(fs::exists(bag / ".lock.part"));
    const bool ended =
        read(bag / "data/journal.jsonl").find("\"event\":\"end\"") != std::string::npos;
    const std::string info = read(bag / "bag-info.txt");
    EXPECT_THAT(info, HasSubstr(ended ? "Session-Ended: normally" : "Session-Ended: unexpectedly"));
}

TEST(SealKill, AKillAtAnyStepOfTheSealLeavesWhatTheNextStartSealsValid) {
    KestleProcess k;
    // A whole run: how many steps its folder goes through after the
    // journal's start, the seal's among them.
    int total = 0;
    {
        WatchedRun run(k, {});
        ASSERT_FALSE(run.folder.empty());
        while (run.steps.next(10s))
            ++total;
        ASSERT_EQ(k.wait(), 0) << k.out();
    }
    ASSERT_GE(total, 8); // the seal's files, each made and renamed, and the lock removed

    std::mt19937 random(2026);
    std::uniform_int_distribution<int> spin(0, 3000);
    int killed = 0;
    for (int step = 1; step <= total; ++step) {
        SCOPED_TRACE("killed after step " + std::to_string(step));
        const auto before = sessionFolders(k.data());
        WatchedRun run(k, before);
        ASSERT_FALSE(run.folder.empty());
        int seen = 0;
        while (seen < step && run.steps.next(10s))
            ++seen;
        // A moment later than the step itself, different each time.
        const auto until = Clock::now() + std::chrono::microseconds(spin(random));
        while (Clock::now() < until) {
        }
        k.kill9();
        ++killed;
    }
    // The last one killed is sealed by one more start.
    k.start("quit\n", {"--capture", "none"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    EXPECT_THAT(k.out(), ::testing::Not(HasSubstr("could not be sealed")));
    const auto all = sessionFolders(k.data());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(killed + 2));
    for (const fs::path& bag : all)
        if (bag != *all.rbegin()) // the last start is still being sealed by itself: done
            expectSealedAsTheJournalSays(bag);
}

TEST(SealKill, AStartThatCannotWriteLeavesNothingThatCanNeverBeSealed) {
    KestleProcess k;
    // Every file the program writes is full at its first byte.
    k.start("quit\n", {"--capture", "none"}, 1);
    k.wait();
    // A folder an earlier version left with a lock and no start state.
    const fs::path old = k.data() / "Sessions" / "2026-12-01 22-00-00";
    fs::create_directories(old / "data");
    std::ofstream(old / ".lock");
    std::ofstream(old / "data/journal.jsonl", std::ios::binary)
        << R"({"t":0,"time":"2026-12-01T22:00:00","event":"start","version":"Kestle 2.0.0",)"
        << R"("unit":"simulated, seed 1"})"
        << "\n"
        << R"({"t":900,"time":"2026-12-01T22:00:01","event":"question","text":"Hi"})"
        << "\n";
    for (int run = 0; run < 2; ++run) {
        k.start("quit\n", {"--capture", "none"});
        ASSERT_EQ(k.wait(), 0) << k.out();
        EXPECT_THAT(k.out(), ::testing::Not(HasSubstr("could not be sealed")));
    }
    for (const fs::path& bag : sessionFolders(k.data()))
        expectSealedAsTheJournalSays(bag);
    EXPECT_THAT(read(old / "bag-info.txt"), HasSubstr("its start state was lost"));
    EXPECT_THAT(read(old / "bag-info.txt"), HasSubstr("Session-Start: 2026-12-01T22:00:00"));
}

} // namespace
} // namespace kestle::evidence
