// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way a callback is kept from outliving its owner.
//
// The owner keeps a Lifetime member and wraps every callback it hands to
// another thread, a scheduler or a library in guard(). A guarded callback
// runs only while the Lifetime lives; end() (called by the destructor, or
// earlier by the owner before it resets members the callbacks use) waits
// for guarded callbacks running on other threads to return, so that once
// end() returns no guarded callback runs or will ever run.
//
// Rules:
// - guard() may be called on the owner's thread at any time, and on other
//   threads only while the owner is known to be alive: from inside a
//   guarded callback, or on a thread the owner stops and joins before its
//   Lifetime is destroyed (its own worker, support/worker_thread.h).
// - A guarded callback never waits for the thread that calls end() (that
//   would deadlock); it may call end() of its own Lifetime.
// - The wrapped callable is destroyed wherever the last copy goes; it must
//   not own anything whose destruction needs the owner.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>

namespace kestle {

class Lifetime {
  public:
    Lifetime() : state_(std::make_shared<State>()) {}
    ~Lifetime() { end(); }
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // From here on no guarded callback starts; returns once the ones
    // running on other threads have returned. Idempotent.
    void end();
    bool alive() const;

    // `fn` wrapped: called with the same arguments while alive, else
    // nothing happens. The result returns void.
    template <typename F> auto guard(F fn) const {
        return [state = state_, fn = std::move(fn)](auto&&... args) mutable {
            Entry e(*state);
            if (e.entered)
                fn(std::forward<decltype(args)>(args)...);
        };
    }

  private:
    struct State {
        std::mutex m;
        std::condition_variable cv;
        bool alive = true;
        int running = 0;
    };
    // One guarded call in progress on this thread.
    struct Entry {
        explicit Entry(State& s);
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
        State& state;
        bool entered = false;
    };
    // Never reset: copying it from a guarded callback on another thread is safe.
    const std::shared_ptr<State> state_;
};

} // namespace kestle
