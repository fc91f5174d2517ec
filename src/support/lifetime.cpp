// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/lifetime.h"

#include <algorithm>
#include <vector>

namespace kestle {

namespace {
// The lifetimes whose guarded calls this thread is inside (a callback may
// end its own owner: that end must not wait for itself).
thread_local std::vector<const void*> tlInside;
} // namespace

Lifetime::Entry::Entry(State& s) : state(s) {
    std::lock_guard l(s.m);
    if (!s.alive)
        return;
    ++s.running;
    entered = true;
    tlInside.push_back(&s);
}

Lifetime::Entry::~Entry() {
    if (!entered)
        return;
    tlInside.erase(std::find(tlInside.rbegin(), tlInside.rend(), &state).base() - 1);
    {
        std::lock_guard l(state.m);
        --state.running;
    }
    state.cv.notify_all();
}

void Lifetime::end() {
    State& s = *state_;
    const auto mine = std::count(tlInside.begin(), tlInside.end(), &s);
    std::unique_lock l(s.m);
    s.alive = false;
    s.cv.wait(l, [&] { return s.running == mine; });
}

bool Lifetime::alive() const {
    std::lock_guard l(state_->m);
    return state_->alive;
}

} // namespace kestle
