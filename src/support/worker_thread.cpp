#include "support/worker_thread.h"

namespace kestle {

WorkerThread::WorkerThread() : thread_([this] { run(); }) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard l(m_);
        stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void WorkerThread::post(std::function<void()> task) {
    {
        std::lock_guard l(m_);
        tasks_.push_back(std::move(task));
        ++posted_;
    }
    cv_.notify_all();
}

void WorkerThread::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    {
        std::lock_guard l(m_);
        later_.emplace(Clock::now() + delay, std::move(task));
    }
    cv_.notify_all();
}

bool WorkerThread::drain(std::chrono::milliseconds timeout) {
    std::unique_lock l(m_);
    const std::uint64_t target = posted_;
    return idle_.wait_for(l, timeout, [&] { return done_ >= target; });
}

void WorkerThread::run() {
    std::unique_lock l(m_);
    for (;;) {
        // Tasks that fell due join the queue in their order.
        const auto now = Clock::now();
        while (!later_.empty() && later_.begin()->first <= now) {
            tasks_.push_back(std::move(later_.begin()->second));
            later_.erase(later_.begin());
            ++posted_;
        }
        if (!tasks_.empty()) {
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            l.unlock();
            task();
            task = nullptr; // captured state goes on this thread
            l.lock();
            ++done_;
            idle_.notify_all();
            continue;
        }
        if (stopping_)
            return;
        if (later_.empty())
            cv_.wait(l);
        else
            cv_.wait_until(l, later_.begin()->first);
    }
}

} // namespace kestle
