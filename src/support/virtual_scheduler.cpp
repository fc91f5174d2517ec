// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/virtual_scheduler.h"

namespace kestle {

VirtualScheduler::VirtualScheduler(LocalDateTime start) : start_(start) {}

LocalDateTime VirtualScheduler::localNow() const {
    return addMilliseconds(start_, now_);
}

TimerId VirtualScheduler::callAfter(Millis delayMs, std::function<void()> fn) {
    TimerId id = next_++;
    const Millis at = dueTime(now_, delayMs);
    queue_.emplace(std::make_pair(at, id), std::move(fn));
    due_[id] = at;
    return id;
}

void VirtualScheduler::cancel(TimerId id) {
    auto it = due_.find(id);
    if (it == due_.end())
        return;
    queue_.erase({it->second, id});
    due_.erase(it);
}

void VirtualScheduler::post(std::function<void()> fn) {
    std::lock_guard lock(postMutex_);
    posted_.push_back(std::move(fn));
    postedCv_.notify_one();
}

void VirtualScheduler::awaitResults() {
    takePosted();
    while (resultsOutstanding() > 0 && (queue_.empty() || queue_.begin()->first.first > now_)) {
        {
            std::unique_lock lock(postMutex_);
            postedCv_.wait(lock, [this] { return !posted_.empty(); });
        }
        takePosted();
    }
}

void VirtualScheduler::takePosted() {
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard lock(postMutex_);
        batch.swap(posted_);
    }
    for (auto& fn : batch)
        callAfter(0, std::move(fn));
}

bool VirtualScheduler::idle() {
    takePosted();
    return queue_.empty() && resultsOutstanding() == 0;
}

bool VirtualScheduler::runOne() {
    awaitResults();
    if (queue_.empty())
        return false;
    auto it = queue_.begin();
    auto [at, id] = it->first;
    auto fn = std::move(it->second);
    queue_.erase(it);
    due_.erase(id);
    if (at > now_)
        now_ = at;
    fn();
    return true;
}

void VirtualScheduler::runUntil(Millis t) {
    while (!stopped_) {
        awaitResults();
        if (queue_.empty() || queue_.begin()->first.first > t)
            break;
        runOne();
    }
    if (!stopped_ && t > now_)
        now_ = t;
}

void VirtualScheduler::run() {
    while (!stopped_ && runOne()) {
    }
}

} // namespace kestle
