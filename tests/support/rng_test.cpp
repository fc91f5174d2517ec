// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/rng.h"

#include <gtest/gtest.h>

namespace kestle {
namespace {

TEST(Rnd, FixedUnseededSequence) {
    Rnd r;
    EXPECT_EQ(r.state(), 327680u);
    EXPECT_DOUBLE_EQ(r.next(), 0.7055475115776062);
    EXPECT_DOUBLE_EQ(r.next(), 0.5334240198135376);
    EXPECT_DOUBLE_EQ(r.next(), 0.5795186161994934);
    EXPECT_EQ(r.state() / 16777216.0, 0.5795186161994934);
}

TEST(Rnd, FullPeriodInsideTheUnitInterval) {
    // The generator must visit every one of the 2^24 states before repeating.
    Rnd r;
    std::uint32_t steps = 0;
    double lo = 1, hi = 0;
    do {
        const double x = r.next();
        lo = std::min(lo, x);
        hi = std::max(hi, x);
        ++steps;
    } while (r.state() != 327680u && steps <= (1u << 24));
    EXPECT_EQ(steps, 1u << 24);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0 - 1.0 / 16777216.0);
}

} // namespace
} // namespace kestle
