// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace kestle {
namespace {

TEST(VirtualScheduler, RunsCallsInTimeOrderAtTheirTimes) {
    VirtualScheduler s;
    std::vector<std::pair<int, Millis>> seen;
    for (const int d : {30, 10, 20})
        s.callAfter(d, [&, d] { seen.emplace_back(d, s.nowMs()); });
    s.run();
    EXPECT_EQ(seen, (std::vector<std::pair<int, Millis>>{{10, 10}, {20, 20}, {30, 30}}));
    EXPECT_TRUE(s.idle());
    EXPECT_FALSE(s.runOne());
}

TEST(VirtualScheduler, EqualTimesKeepCreationOrder) {
    VirtualScheduler s;
    std::string order;
    s.callAfter(5, [&] {
        order += 'a';
        // Due at once, but after the calls already due at this time.
        s.callAfter(0, [&] { order += 'd'; });
    });
    s.callAfter(5, [&] { order += 'b'; });
    s.callAfter(-3, [&] { order += '0'; }); // negative delays count as 0
    s.callAfter(5, [&] { order += 'c'; });
    s.run();
    EXPECT_EQ(order, "0abcd");
    EXPECT_EQ(s.nowMs(), 5);
}

TEST(VirtualScheduler, IdsAreDistinctAndNeverZero) {
    VirtualScheduler s;
    const TimerId a = s.callAfter(1, [] {});
    const TimerId b = s.callAfter(1, [] {});
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
}

TEST(VirtualScheduler, CancelledCallsNeverRun) {
    VirtualScheduler s;
    std::string order;
    const TimerId a = s.callAfter(10, [&] { order += 'a'; });
    TimerId c = 0;
    s.callAfter(5, [&] {
        order += 'b';
        s.cancel(c); // cancelled by an earlier call
    });
    c = s.callAfter(20, [&] { order += 'c'; });
    s.cancel(a);
    s.cancel(a);     // twice
    s.cancel(12345); // unknown
    s.run();
    EXPECT_EQ(order, "b");
    s.cancel(c); // finished long ago
    EXPECT_TRUE(s.idle());
}

TEST(VirtualScheduler, PostFromAnotherThreadRunsOnTheDrivingThread) {
    VirtualScheduler s;
    std::vector<int> seen;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            s.post([&, i] {
                seen.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
    });
    poster.join();
    EXPECT_FALSE(s.idle());
    s.runUntil(0);
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    for (const auto& id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(VirtualScheduler, PostWhileRunningIsPickedUp) {
    VirtualScheduler s;
    int posted = 0;
    std::thread poster;
    s.callAfter(1, [&] { poster = std::thread([&] { s.post([&] { ++posted; }); }); });
    s.callAfter(2, [&] { poster.join(); });
    s.runUntil(2);
    s.runUntil(2);
    EXPECT_EQ(posted, 1);
}

TEST(VirtualScheduler, RunUntilIsInclusiveAndSetsTheClock) {
    VirtualScheduler s;
    std::string order;
    s.callAfter(100, [&] {
        order += 'a';
        s.callAfter(50, [&] { order += 'b'; }); // at 150, inside the window
        s.callAfter(51, [&] { order += 'c'; }); // at 151, outside
    });
    s.runUntil(150);
    EXPECT_EQ(order, "ab");
    EXPECT_EQ(s.nowMs(), 150);
    s.runUntil(120); // the clock never goes back
    EXPECT_EQ(s.nowMs(), 150);
    s.advance(1);
    EXPECT_EQ(order, "abc");
    EXPECT_EQ(s.nowMs(), 151);
    s.advance(1000);
    EXPECT_EQ(s.nowMs(), 1151);
}

TEST(VirtualScheduler, StopEndsTheLoops) {
    VirtualScheduler s;
    int runs = 0;
    s.callAfter(10, [&] {
        ++runs;
        s.stop();
    });
    s.callAfter(20, [&] { ++runs; });
    s.runUntil(100);
    EXPECT_TRUE(s.stopped());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(s.nowMs(), 10);
    s.run();
    EXPECT_EQ(runs, 1);
}

TEST(VirtualScheduler, LocalNowFollowsTheVirtualClock) {
    const LocalDateTime start{2026, 12, 7, 4, 50, 20};
    VirtualScheduler s(start);
    EXPECT_EQ(s.localNow(), start);
    s.advance(1500);
    EXPECT_EQ(s.localNow(), (LocalDateTime{2026, 12, 7, 4, 50, 21}));
    s.advance(86'400'000);
    EXPECT_EQ(s.localNow(), (LocalDateTime{2026, 12, 8, 4, 50, 21}));
}

TEST(VirtualScheduler, HugeDelayMeansNever) {
    VirtualScheduler s;
    s.advance(10);
    bool ran = false;
    s.callAfter(std::numeric_limits<Millis>::max(), [&] { ran = true; });
    s.runUntil(1'000'000);
    EXPECT_FALSE(ran);
}

// Work done on another thread takes no virtual time: the clock waits for its
// result, and calls waiting for results run after it.
TEST(VirtualScheduler, TheClockWaitsForResultsOfWorkElsewhere) {
    VirtualScheduler s;
    std::vector<std::string> seen;
    s.callAfter(10, [&] { seen.push_back("timer at " + std::to_string(s.nowMs())); });
    std::thread worker;
    s.callAfter(5, [&] {
        s.expectResult();
        s.whenResultsIn([&] { seen.push_back("after results"); });
        worker = std::thread([&] {
            std::this_thread::yield();
            s.postResult([&] { seen.push_back("result at " + std::to_string(s.nowMs())); });
        });
    });
    s.run();
    worker.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"result at 5", "after results", "timer at 10"}));
    EXPECT_EQ(s.resultsOutstanding(), 0);
    bool now = false;
    s.whenResultsIn([&] { now = true; });
    s.runOne();
    EXPECT_TRUE(now);
}

} // namespace
} // namespace kestle
