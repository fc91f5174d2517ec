// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scheduler.h"

namespace kestle {

void Scheduler::postResult(std::function<void()> fn) {
    post([this, fn = std::move(fn)] {
        fn();
        // Counted down only once the result has run, so that whoever waits
        // for results sees what they did.
        if (--outstanding_ > 0)
            return;
        std::vector<std::function<void()>> waiting;
        waiting.swap(waitingForResults_);
        for (auto& w : waiting)
            callAfter(0, std::move(w));
    });
}

void Scheduler::whenResultsIn(std::function<void()> fn) {
    if (outstanding_.load() == 0)
        callAfter(0, std::move(fn));
    else
        waitingForResults_.push_back(std::move(fn));
}

} // namespace kestle
