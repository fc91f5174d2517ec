#include "ui/qt_scheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace kestle::ui {

QtScheduler::QtScheduler() {
    clock_.start();
}

TimerId QtScheduler::callAfter(Millis delayMs, std::function<void()> fn) {
    TimerId id = next_++;
    auto* t = new QTimer(this);
    t->setSingleShot(true);
    t->setTimerType(Qt::PreciseTimer);
    timers_[id] = t;
    QObject::connect(t, &QTimer::timeout, this, [this, id, t, fn = std::move(fn)] {
        timers_.erase(id);
        t->deleteLater();
        fn();
    });
    t->start(static_cast<int>(delayMs < 0 ? 0 : delayMs));
    return id;
}

void QtScheduler::cancel(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

void QtScheduler::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtScheduler::stop() {
    QCoreApplication::exit(0);
}

} // namespace kestle::ui
