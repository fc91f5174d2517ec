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
    // stops and returns false). From the moment it
    // is called no task starts but `last`: tasks not yet started and delayed
    // ones are dropped (destroyed on the calling thread), and `last` runs on
    // the worker once the task under way (if any) has returned. Waits at
    // most `bound` for both, then joins the thread; true when it has ended.
    //
    // When the bound is exceeded (a task that does not return: a driver
    // stuck in a state change), false comes back and the thread is left
    // running, joinable: it is never detached, since its task may still use
    // its owner. A later stop() (or the destructor) waits again. So the
    // bound holds as long as each task holds its own: the owner's tasks
    // wait for nothing without a time limit (the last one measured from
    // the start of stop()), and stopping() tells a long task to cut short.
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
