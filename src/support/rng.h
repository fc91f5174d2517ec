// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application's one pseudo-random generator. It is never seeded: every
// run draws the same sequence. The application owns one instance and hands
// it to everything that draws.
#include <cstdint>

namespace kestle {

class Rnd {
  public:
    // x := (x * 1140671485 + 12820163) mod 2^24; returns x / 2^24, in [0, 1).
    double next();
    std::uint32_t state() const { return x_; }

  private:
    std::uint32_t x_ = 327680;
};

} // namespace kestle
