// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/waiter.h"

namespace kestle::device {

void Waiter::suspend(std::coroutine_handle<> h, Await::Kind kind, Millis ms) {
    waiting_ = h;
    kind_ = kind;
    ok_ = false;
    timer_ = sched_.callAfter(ms, [this] {
        timer_ = 0;
        // A turn or a pause ends normally; an answer wait has timed out.
        resume(kind_ != Await::Kind::Answer);
    });
}

bool Waiter::takeResult(Await::Kind kind) {
    if (kind == Await::Kind::Answer && !waiting_ && timer_ == 0 && (answered_ || lost_)) {
        // The answer had already arrived, or the unit had gone, when the
        // wait began.
        return answered_;
    }
    return ok_;
}

void Waiter::resume(bool ok) {
    if (timer_) {
        sched_.cancel(timer_);
        timer_ = 0;
    }
    auto h = waiting_;
    waiting_ = {};
    ok_ = ok;
    if (h)
        h.resume();
}

void Waiter::answered() {
    answered_ = true;
    if (waiting_ && kind_ == Await::Kind::Answer)
        resume(true);
}

void Waiter::failed() {
    lost_ = true;
    if (waiting_ && kind_ == Await::Kind::Answer)
        resume(false);
}

void Waiter::cancel() {
    if (timer_) {
        sched_.cancel(timer_);
        timer_ = 0;
    }
    waiting_ = {};
}

} // namespace kestle::device
