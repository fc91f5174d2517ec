// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/realtime_scheduler.h"

#include <algorithm>

namespace kestle {

RealTimeScheduler::RealTimeScheduler() : start_(Clock::now()) {}

Millis RealTimeScheduler::realMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

Millis RealTimeScheduler::nowMs() const {
    std::lock_guard lock(m_);
    return queue_.now(realMs());
}

TimerId RealTimeScheduler::callAfter(Millis delayMs, std::function<void()> fn) {
    std::lock_guard lock(m_);
    const TimerId id = queue_.add(realMs(), delayMs, std::move(fn));
    if (waiting_)
        cv_.notify_one();
    return id;
}

void RealTimeScheduler::cancel(TimerId id) {
    std::lock_guard lock(m_);
    queue_.cancel(id);
}

void RealTimeScheduler::post(std::function<void()> fn) {
    callAfter(0, std::move(fn));
}

void RealTimeScheduler::stop() {
    std::lock_guard lock(m_);
    stopped_ = true;
    cv_.notify_one();
}

void RealTimeScheduler::run() {
    std::unique_lock lock(m_);
    while (!stopped_) {
        const Millis real = realMs();
        if (auto fn = queue_.take(real)) {
            lock.unlock();
            fn();
            fn = nullptr; // what it holds goes before the lock is taken again
            lock.lock();
            continue;
        }
        waiting_ = true;
        // In steps of at most an hour, so that a far-off call cannot overflow
        // the clock.
        if (auto wait = queue_.sleepFor(real))
            cv_.wait_until(lock, start_ + std::chrono::milliseconds(
                                              real + std::min<Millis>(*wait, 3'600'000)));
        else
            cv_.wait(lock);
        waiting_ = false;
    }
}

} // namespace kestle
