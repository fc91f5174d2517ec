// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting on a condition with a deadline, for tests that watch another
// thread or process: never a sleep that hopes.
#include <chrono>
#include <functional>
#include <thread>

namespace kestle::test {

// Waits until `done()` holds, at most `limit`; true when it held.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace kestle::test
