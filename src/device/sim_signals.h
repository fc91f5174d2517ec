// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The signals behind the simulated Kestle: two channel levels with drift,
// mains hum and noise; channel frequencies on mains harmonics; a slowly
// drifting temperature; four magnetic sensors whose field turns slowly; and
// now and then a disturbance (a field spike that jumps and decays, a
// temperature drop, a burst in a kHz band).
//
// Deterministic: disturbances depend only on the seed and the time, noise on
// the seed and the sequence of calls. Times are model milliseconds and must
// not decrease from call to call. Not thread-safe.
#include "device/trace_format.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestle::device {

// splitmix64: tiny, and plenty for noise.
class SplitMix {
  public:
    explicit SplitMix(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next();
    double uniform(); // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }

  private:
    std::uint64_t s_;
};

class SimSignals {
  public:
    explicit SimSignals(std::uint32_t seed);

    // Answer bytes 1-8 for a request character: ">" levels A, B then
    // frequencies A, B; "=" two samples A, B, A, B; "%" the raw temperature
    // in byte 5; "/" the sensors s1-s4; all 16-bit big-endian. nullopt for
    // any other request, which the unit ignores.
    std::optional<Answer> answer(char request, double t);

    // The readings themselves. Channel 0 is A, 1 is B.
    int level(int channel, double t);     // converter counts, 16-1023
    int frequency(int channel, double t); // Hz, 1-65535
    int temperature(double t);            // degrees Fahrenheit, 0-255
    std::array<int, 4> sensors(double t); // s1-s4, 500 meaning no field
    int mainsHz() const { return mains_; }

  private:
    struct Channel {
        double center, drift1, period1, phase1, drift2, period2, phase2, hum, humPhase;
        int harmonic = 1;
        double nextHarmonic = 0;
    };
    struct Spike {
        double t0, tau, amp[2], field;
    };
    struct TempDrop {
        double t0, tau, depth;
    };
    struct RfBurst {
        double t0, t1, hz[2];
        bool on[2];
    };

    // Draws the disturbances and harmonic changes up to `t`.
    void advance(double t);
    void startDisturbance(double t);
    double spikeLevel(int channel, double t) const;

    SplitMix events_; // consumed in time order only
    SplitMix noise_;  // consumed per reading
    int mains_;
    Channel ch_[2];
    double tempBase_, tempSwing_, tempPeriod_, tempPhase_;
    double heading0_, turnPeriod_, wobblePeriod_, wobblePhase_, radius_;
    double nextDisturbance_;
    double last_ = 0;
    std::vector<Spike> spikes_;
    std::vector<TempDrop> drops_;
    std::vector<RfBurst> bursts_;
};

} // namespace kestle::device
