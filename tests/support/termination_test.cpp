// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/termination.h"

#include "fakes/wait_for.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace kestle {
namespace {

using namespace std::chrono_literals;

// The window thread never comes round to the posted call (stuck in a
// blocking call): the watch ends the process itself after its grace time,
// and at once on a second signal.
TEST(TerminationWatch, EndsTheProcessWhenTheWindowThreadDoesNotAnswer) {
    for (const bool secondSignal : {false, true}) {
        SCOPED_TRACE(secondSignal);
        VirtualScheduler stuck; // nothing runs its calls
        std::atomic<int> endedBy{0};
        const auto grace = secondSignal ? 60s : 100ms;
        TerminationWatch watch(
            stuck, [] {}, grace, [&](int sig) { endedBy = sig; });
        ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
        if (secondSignal) {
            ASSERT_TRUE(test::waitFor([&] { return !stuck.idle(); }, 10s));
            ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
        }
        ASSERT_TRUE(test::waitFor([&] { return endedBy != 0; }, 10s));
        EXPECT_EQ(endedBy, secondSignal ? SIGINT : SIGTERM);
    }
}

// A window thread that answers ends the session itself: the call runs once
// and the watch never steps in.
TEST(TerminationWatch, LeavesTheEndToAWindowThreadThatAnswers) {
    VirtualScheduler sched;
    std::atomic<int> calls{0}, endedBy{0};
    {
        TerminationWatch watch(
            sched, [&] { ++calls; }, 100ms, [&](int sig) { endedBy = sig; });
        ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
        ASSERT_TRUE(test::waitFor([&] { return !sched.idle(); }, 10s));
        sched.run();
    } // the session ends: the watch goes with it
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(endedBy, 0);
}

} // namespace
} // namespace kestle
