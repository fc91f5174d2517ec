// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A thread that runs tasks one after another, in the order they were
// posted, and tasks that fall due later. Used for work that may take time
// (device and pipeline state changes, file writing), so that the window
// thread never waits for it.
//
// Stopping is part of the worker, not of its tasks: once stop() has begun,
// no posted or delayed task starts any more (only the one stop() is given
// to run last), so a task never finds its owner half torn down.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace kestle {

class WorkerThread {
  public:
    using Clock = std::chrono::steady_clock;
    // What the destructor gives the task under way: the program's exit
    // finishes its files within 2 seconds.
    static constexpr std::chrono::milliseconds kStopBound{2000};

    WorkerThread();
    // stop(kStopBound); past the bound it waits on for the task under way
    // (see stop()).
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Any thread. After stop() has begun a task is dropped: destroyed on
    // the calling thread, never run.
    void post(std::function<void()> task);
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task);
    // Waits until every task posted before this call has run, at most
    // `timeout`; true when they all ran (never once stop() dropped one).
    // Never call it from the worker.
    bool drain(std::chrono::milliseconds timeout);

    // Stops the worker; any thread but the worker's own (there it only
    // marks the stop and returns false). From the moment it is called no
    // task starts but `last`: tasks not yet started and delayed ones are
    // dropped (destroyed on the calling thread, never run), and `last` runs
    // on the worker once the task under way, if any, has returned (a later
    // call's `last` is dropped too). Waits at most `bound` for both, then
    // joins the thread; true when the thread has ended.
    //
    // Past the bound (a task that does not return: a driver stuck in a
    // state change) false comes back and the thread is left running and
    // joinable. It is never detached: its task may still use its owner, so
    // the owner cannot go before it. A later stop() or the destructor waits
    // again. The bound therefore holds because the owner's tasks hold
    // theirs: none waits without a time limit, the last one counts its
    // limit from the start of the stop (the capture controls finish their
    // files within it, which is what "exit within 2 seconds" rests on), and
    // a long task may look at stopping() to cut itself short.
    bool stop(std::chrono::milliseconds bound, std::function<void()> last = {});
    // True once stop() has begun (any thread).
    bool stopping() const;
    // True on the worker's own thread.
    bool onWorker() const;

  private:
    void run();

    mutable std::mutex m_;
    std::condition_variable cv_, idle_;
    std::deque<std::function<void()>> tasks_;
    std::multimap<Clock::time_point, std::function<void()>> later_;
    std::uint64_t posted_ = 0, done_ = 0;
    bool stopping_ = false, ended_ = false;
    std::mutex join_; // one joiner at a time
    std::thread thread_;
};

} // namespace kestle
