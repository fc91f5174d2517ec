#include "support/realtime_scheduler.h"

#include <algorithm>
#include <limits>

namespace kestle {

RealTimeScheduler::RealTimeScheduler() : start_(Clock::now()) {}

Millis RealTimeScheduler::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

TimerId RealTimeScheduler::callAfter(Millis delayMs, std::function<void()> fn) {
    std::lock_guard lock(m_);
    TimerId id = next_++;
    // A delay past the end of time saturates instead of overflowing.
    const Millis now = nowMs();
    const Millis delay = delayMs < 0 ? 0 : delayMs;
    const Millis at = delay > std::numeric_limits<Millis>::max() - now
                          ? std::numeric_limits<Millis>::max()
                          : now + delay;
    queue_.emplace(std::make_pair(at, id), std::move(fn));
    due_[id] = at;
    cv_.notify_one();
    return id;
}

void RealTimeScheduler::cancel(TimerId id) {
    std::lock_guard lock(m_);
    auto it = due_.find(id);
    if (it == due_.end())
        return;
    queue_.erase({it->second, id});
    due_.erase(it);
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
        if (queue_.empty()) {
            cv_.wait(lock);
            continue;
        }
        auto it = queue_.begin();
        Millis at = it->first.first;
        Millis now = nowMs();
        if (at > now) {
            // In steps, so that a far-off call cannot overflow the clock.
            cv_.wait_for(lock, std::chrono::milliseconds(std::min<Millis>(at - now, 3'600'000)));
            continue;
        }
        auto fn = std::move(it->second);
        due_.erase(it->first.second);
        queue_.erase(it);
        lock.unlock();
        fn();
        lock.lock();
    }
}

} // namespace kestle
