// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rng.h"

namespace kestle {

double Rnd::next() {
    // Unsigned arithmetic wraps mod 2^32, which 2^24 divides.
    x_ = (x_ * 1140671485u + 12820163u) & 0xFFFFFFu;
    return x_ / 16777216.0;
}

} // namespace kestle
