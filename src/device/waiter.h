// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The waits of the procedures that talk to the Kestle: for an answer (with a
// time limit), for one turn of the event loop, and for a fixed pause. At
// most one coroutine waits at a time; cancel() forgets it so that its owner
// can destroy it safely. Window thread only.
#include "support/scheduler.h"

#include <coroutine>

namespace kestle::device {

// How long a sender waits for the Kestle's answer.
inline constexpr Millis kAnswerTimeoutMs = 500;

class Waiter {
  public:
    explicit Waiter(Scheduler& sched) : sched_(sched) {}
    ~Waiter() { cancel(); }

    struct Await {
        Waiter& w;
        enum class Kind { Answer, Turn, Pause } kind;
        Millis ms;
        bool await_ready() const noexcept {
            return kind == Kind::Answer && (w.answered_ || w.lost_);
        }
        void await_suspend(std::coroutine_handle<> h) { w.suspend(h, kind, ms); }
        bool await_resume() noexcept { return w.takeResult(kind); }
    };

    // Suspends until answered() or failed() is called, or the time limit
    // passes; true when an answer came. Clear with expectAnswer() before
    // the request is written.
    void expectAnswer() {
        answered_ = false;
        lost_ = false;
    }
    Await answer() { return {*this, Await::Kind::Answer, kAnswerTimeoutMs}; }
    // Lets every event already due run first ("pump window events once").
    Await turn() { return {*this, Await::Kind::Turn, 0}; }
    // A fixed pause during which the waiting procedure does not advance.
    Await pause(Millis ms) { return {*this, Await::Kind::Pause, ms}; }

    // The read notification stored an answer.
    void answered();
    // The device went away: a waiting answer fails at once, and so does the
    // wait for an answer already requested (the loss is remembered).
    void failed();
    // Forgets the waiting coroutine without resuming it.
    void cancel();
    bool waiting() const { return static_cast<bool>(waiting_); }

  private:
    void suspend(std::coroutine_handle<> h, Await::Kind kind, Millis ms);
    bool takeResult(Await::Kind kind);
    void resume(bool ok);

    Scheduler& sched_;
    std::coroutine_handle<> waiting_;
    Await::Kind kind_ = Await::Kind::Turn;
    TimerId timer_ = 0;
    bool answered_ = false;
    bool lost_ = false;
    bool ok_ = false;
};

} // namespace kestle::device
