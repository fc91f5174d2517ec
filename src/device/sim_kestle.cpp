// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/sim_kestle.h"

#include <algorithm>

namespace kestle::device {

SimKestle::SimKestle(Scheduler& scheduler, std::uint32_t seed, Millis latency)
    : EmulatedLink(scheduler, latency), signals_(seed) {}

std::optional<Answer> SimKestle::answer(const Report& out) {
    double t = std::max<double>(static_cast<double>(scheduler().nowMs()), clock_ + 1);
    auto a = signals_.answer(static_cast<char>(out[1]), t);
    if (a)
        clock_ = t;
    return a;
}

} // namespace kestle::device
