// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/timer_queue.h"

namespace kestle {

TimerId TimerQueue::add(Millis real, Millis delay, std::function<void()> fn) {
    const TimerId id = next_++;
    const Millis at = dueTime(now(real), delay);
    queue_.emplace(std::make_pair(at, id), std::move(fn));
    due_[id] = at;
    return id;
}

void TimerQueue::cancel(TimerId id) {
    auto it = due_.find(id);
    if (it == due_.end())
        return;
    queue_.erase({it->second, id});
    due_.erase(it);
}

std::function<void()> TimerQueue::take(Millis real) {
    if (queue_.empty())
        return nullptr;
    auto it = queue_.begin();
    const Millis at = it->first.first;
    if (at - lead_ > real)
        return nullptr;
    if (at > clock_)
        clock_ = at;
    auto fn = std::move(it->second);
    due_.erase(it->first.second);
    queue_.erase(it);
    return fn;
}

std::optional<Millis> TimerQueue::sleepFor(Millis real) const {
    if (queue_.empty())
        return std::nullopt;
    // Until the call is due, not just within the lead: each wake-up then runs
    // what falls due in the lead that follows, a batch.
    const Millis wait = queue_.begin()->first.first - real;
    return wait > 0 ? wait : 0;
}

} // namespace kestle
