// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_scheduler.h"

#include <algorithm>

#include <QCoreApplication>
#include <QMetaObject>

namespace kestle::ui {

QtScheduler::QtScheduler() {
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { runDue(); });
}

TimerId QtScheduler::callAfter(Millis delayMs, std::function<void()> fn) {
    const TimerId id = queue_.add(clock_.elapsed(), delayMs, std::move(fn));
    if (!running_)
        arm();
    return id;
}

void QtScheduler::cancel(TimerId id) {
    queue_.cancel(id);
}

void QtScheduler::arm() {
    const auto wait = queue_.sleepFor(clock_.elapsed());
    if (!wait) {
        timer_.stop();
        return;
    }
    // A far-off call is looked at again within the hour; QTimer takes an int.
    const int ms = static_cast<int>(std::min<Millis>(*wait, 3'600'000));
    if (!timer_.isActive() || timer_.remainingTime() > ms)
        timer_.start(ms);
}

void QtScheduler::runDue() {
    // What may run now runs in one go, within the lead; then the timer waits
    // for the next, and other events have their turn in between.
    running_ = true;
    while (auto fn = queue_.take(clock_.elapsed()))
        fn();
    running_ = false;
    timer_.stop();
    arm();
}

void QtScheduler::post(std::function<void()> fn) {
    std::lock_guard l(postedMutex_);
    posted_.push_back(std::move(fn));
    if (!postPending_) {
        postPending_ = true;
        QMetaObject::invokeMethod(
            this, [this] { runPosted(); }, Qt::QueuedConnection);
    }
}

void QtScheduler::runPosted() {
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard l(postedMutex_);
        batch.swap(posted_);
        postPending_ = false;
    }
    for (auto& fn : batch)
        fn();
}

void QtScheduler::stop() {
    QCoreApplication::exit(0);
}

} // namespace kestle::ui
