#pragma once
// A thread that runs tasks one after another, in the order they were
// posted, and tasks that fall due later. Used for work that may take time
// (device and pipeline state changes, file writing), so that the window
// thread never waits for it.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace kestle {

class WorkerThread {
  public:
    using Clock = std::chrono::steady_clock;

    WorkerThread();
    // Runs the tasks already posted (not those still due later), then ends.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Any thread.
    void post(std::function<void()> task);
    void postAfter(std::chrono::milliseconds delay, std::function<void()> task);
    // Waits until every task posted before this call has run, at most
    // `timeout`; true when they all ran. Never call it from the worker.
    bool drain(std::chrono::milliseconds timeout);
    // True on the worker's own thread.
    bool onWorker() const { return std::this_thread::get_id() == thread_.get_id(); }

  private:
    void run();

    std::mutex m_;
    std::condition_variable cv_, idle_;
    std::deque<std::function<void()>> tasks_;
    std::multimap<Clock::time_point, std::function<void()>> later_;
    std::uint64_t posted_ = 0, done_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace kestle
