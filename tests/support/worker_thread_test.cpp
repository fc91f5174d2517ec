// SPDX-License-Identifier: GPL-3.0-or-later
// The worker's stop: nothing queued or delayed starts once it has begun,
// the owner's last task still runs, and the wait for it has a bound.
#include "fakes/wait_for.h"
#include "support/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace kestle {
namespace {

using namespace std::chrono_literals;
using Clock = WorkerThread::Clock;

TEST(WorkerThread, ADelayedTaskThatFallsDueWhileTheLastTaskRunsNeverStarts) {
    WorkerThread w;
    std::atomic<bool> late{false}, lastRan{false}, lastOnWorker{false};
    // Under way when the stop begins (or dropped with the rest, if the
    // worker has not taken it yet).
    w.post([&] { test::waitFor([&] { return w.stopping(); }, 10s); });
    const auto due = Clock::now() + 1ms;
    w.postAfter(1ms, [&] { late = true; });
    // The owner's last task (a pipeline's end) runs past the delayed
    // task's time, as a date tick fell due while the video's files were
    // being finished.
    EXPECT_TRUE(w.stop(10s, [&] {
        test::waitFor([&] { return Clock::now() > due + 30ms; }, 10s);
        lastOnWorker = w.onWorker();
        lastRan = true;
    }));
    EXPECT_TRUE(lastRan);
    EXPECT_TRUE(lastOnWorker);
    EXPECT_FALSE(late);
}

TEST(WorkerThread, StopDropsPendingWorkAndWaitsForTheTaskUnderWayOnlyAsLongAsItsBound) {
    // Asleep until a task due in an hour: woken, it ends within the bound.
    WorkerThread idle;
    idle.postAfter(std::chrono::hours(1), [] {});
    EXPECT_TRUE(idle.stop(10s));

    WorkerThread w;
    std::atomic<bool> started{false}, release{false}, finished{false};
    std::atomic<int> ran{0};
    w.post([&] {
        started = true;
        test::waitFor([&] { return release.load(); }, 20s);
        finished = true;
    });
    ASSERT_TRUE(test::waitFor([&] { return started.load(); }, 10s));
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> heldByTask = held;
    w.post([&ran, held] { ++ran; });
    w.postAfter(0ms, [&] { ++ran; });
    held.reset();

    // The task under way outlasts the bound: the worker is left running,
    // not detached, and what was queued is gone already, unrun.
    EXPECT_FALSE(w.stop(50ms));
    EXPECT_TRUE(heldByTask.expired());
    EXPECT_TRUE(w.stopping());
    EXPECT_FALSE(finished);
    w.post([&] { ++ran; });
    w.postAfter(0ms, [&] { ++ran; });

    release = true;
    EXPECT_TRUE(w.stop(10s)); // a later stop waits again
    EXPECT_TRUE(finished);
    EXPECT_EQ(ran, 0);
    EXPECT_FALSE(w.drain(0ms)); // the dropped tasks never ran
}

} // namespace
} // namespace kestle
