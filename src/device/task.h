// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A lazily started coroutine that yields a bool: true when its steps ran to
// the end, false when a wait for the Kestle failed and the work was dropped.
// Procedures that wait for the Kestle are coroutines of this type, so the
// window thread is never blocked and no nested event loop runs.
//
// Ownership: the Task object owns the coroutine frame; destroying it
// destroys a suspended coroutine (the Waiter must be cancelled first).
#include <coroutine>
#include <exception>
#include <utility>

namespace kestle::device {

class [[nodiscard]] Task {
  public:
    struct promise_type {
        std::coroutine_handle<> continuation;
        bool result = false;
        Task get_return_object() {
            return Task(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final {
            bool await_ready() noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept {
                auto c = h.promise().continuation;
                return c ? c : std::noop_coroutine();
            }
            void await_resume() noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_value(bool v) { result = v; }
        void unhandled_exception() { std::terminate(); }
    };

    Task() = default;
    explicit Task(std::coroutine_handle<promise_type> h) : h_(h) {}
    Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
    Task& operator=(Task&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, {});
        }
        return *this;
    }
    ~Task() { reset(); }

    // Awaiting a task runs it and resumes the awaiting coroutine when it ends.
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> c) noexcept {
        h_.promise().continuation = c;
        return h_;
    }
    bool await_resume() const noexcept { return h_.promise().result; }

    // Starts a top-level task; it runs until its first wait.
    void start() { h_.resume(); }
    bool valid() const { return static_cast<bool>(h_); }
    bool done() const { return !h_ || h_.done(); }
    bool result() const { return h_ && h_.done() && h_.promise().result; }
    void reset() {
        if (h_)
            h_.destroy();
        h_ = {};
    }

  private:
    std::coroutine_handle<promise_type> h_;
};

} // namespace kestle::device

// Note for callers: with GCC 12, a co_await whose operand is a temporary must
// not stand in a condition (`if (!co_await f())` resumes a destroyed frame).
// Write `if (const bool ok = co_await f(); !ok)` instead.
