// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/worker_thread.h"

namespace kestle {

namespace {
// The worker whose thread this is (none on other threads).
thread_local const WorkerThread* tlWorker = nullptr;
} // namespace

WorkerThread::WorkerThread() : thread_([this] { run(); }) {}

WorkerThread::~WorkerThread() {
    if (stop(kStopBound))
        return;
    // Past the bound: never detached, its task may still use the owner.
    std::lock_guard j(join_);
    if (thread_.joinable())
        thread_.join();
}

bool WorkerThread::onWorker() const {
    return tlWorker == this;
}

void WorkerThread::post(std::function<void()> task) {
    {
        std::lock_guard l(m_);
        if (stopping_)
            return; // `task` goes here, outside the lock
        tasks_.push_back(std::move(task));
        ++posted_;
    }
    cv_.notify_all();
}

void WorkerThread::postAfter(std::chrono::milliseconds delay, std::function<void()> task) {
    {
        std::lock_guard l(m_);
        if (stopping_)
            return;
        later_.emplace(Clock::now() + delay, std::move(task));
    }
    cv_.notify_all();
}

bool WorkerThread::drain(std::chrono::milliseconds timeout) {
    std::unique_lock l(m_);
    const std::uint64_t target = posted_;
    return idle_.wait_for(l, timeout, [&] { return done_ >= target || ended_; }) && done_ >= target;
}

bool WorkerThread::stopping() const {
    std::lock_guard l(m_);
    return stopping_;
}

bool WorkerThread::stop(std::chrono::milliseconds bound, std::function<void()> last) {
    const auto deadline = Clock::now() + bound;
    std::deque<std::function<void()>> dropped;
    std::multimap<Clock::time_point, std::function<void()>> droppedLater;
    {
        std::unique_lock l(m_);
        if (!stopping_) {
            stopping_ = true;
            dropped.swap(tasks_);
            droppedLater.swap(later_);
            if (last) {
                tasks_.push_back(std::move(last));
                ++posted_;
            }
        }
    }
    cv_.notify_all();
    idle_.notify_all();
    dropped.clear(); // their captured state goes here, outside the lock
    droppedLater.clear();
    if (onWorker())
        return false;
    {
        std::unique_lock l(m_);
        if (!idle_.wait_until(l, deadline, [this] { return ended_; }))
            return false;
    }
    std::lock_guard j(join_);
    if (thread_.joinable())
        thread_.join();
    return true;
}

void WorkerThread::run() {
    tlWorker = this;
    std::unique_lock l(m_);
    for (;;) {
        // Tasks that fell due join the queue in their order; none once
        // stopping has begun.
        const auto now = Clock::now();
        while (!stopping_ && !later_.empty() && later_.begin()->first <= now) {
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
        if (stopping_) {
            ended_ = true;
            idle_.notify_all();
            return;
        }
        if (later_.empty()) {
            cv_.wait(l);
        } else {
            const Clock::time_point next = later_.begin()->first; // stop() may drop its node
            cv_.wait_until(l, next);
        }
    }
}

} // namespace kestle
