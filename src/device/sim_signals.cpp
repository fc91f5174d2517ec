// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/sim_signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestle::device {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

void put16(Answer& a, int at, int value) {
    a[at] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    a[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

int clampRound(double v, int lo, int hi) {
    return static_cast<int>(std::clamp(std::lround(v), long{lo}, long{hi}));
}

} // namespace

std::uint64_t SplitMix::next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SplitMix::uniform() {
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

SimSignals::SimSignals(std::uint32_t seed)
    : events_(seed * 0x2545F4914F6CDD1Dull + 1), noise_(seed * 0x9E3779B97F4A7C15ull + 2) {
    SplitMix p(seed);
    mains_ = p.uniform() < 0.5 ? 50 : 60;
    for (auto& c : ch_) {
        c.center = p.uniform(95, 120);
        c.drift1 = p.uniform(30, 50);
        c.period1 = p.uniform(60e3, 150e3);
        c.phase1 = p.uniform(0, kTwoPi);
        c.drift2 = p.uniform(8, 15);
        c.period2 = p.uniform(9e3, 25e3);
        c.phase2 = p.uniform(0, kTwoPi);
        c.hum = p.uniform(2, 4);
        c.humPhase = p.uniform(0, kTwoPi);
    }
    tempBase_ = 70 + p.uniform(-1.5, 1.5);
    tempSwing_ = p.uniform(1.5, 3);
    tempPeriod_ = p.uniform(8 * 60e3, 15 * 60e3);
    tempPhase_ = p.uniform(0, kTwoPi);
    heading0_ = p.uniform(0, kTwoPi);
    turnPeriod_ = p.uniform(16e3, 32e3) * (p.uniform() < 0.5 ? -1 : 1);
    wobblePeriod_ = p.uniform(5e3, 9e3);
    wobblePhase_ = p.uniform(0, kTwoPi);
    radius_ = p.uniform(25, 45);
    nextDisturbance_ = p.uniform(2e3, 10e3);
}

void SimSignals::advance(double t) {
    t = std::max(t, last_);
    last_ = t;
    for (auto& c : ch_) {
        while (c.nextHarmonic <= t) {
            double u = events_.uniform();
            c.harmonic = u < 0.5 ? 1 : u < 0.7 ? 2 : u < 0.9 ? 3 : 5;
            c.nextHarmonic += events_.uniform(3e3, 15e3);
        }
    }
    while (nextDisturbance_ <= t) {
        startDisturbance(nextDisturbance_);
        nextDisturbance_ += events_.uniform(4e3, 25e3);
    }
    std::erase_if(spikes_, [t](const Spike& s) { return t > s.t0 + 10 * s.tau; });
    std::erase_if(drops_, [t](const TempDrop& d) { return t > d.t0 + 10 * d.tau; });
    std::erase_if(bursts_, [t](const RfBurst& b) { return t > b.t1; });
}

void SimSignals::startDisturbance(double t) {
    double kind = events_.uniform();
    if (kind < 1.0 / 3) {
        Spike s{t, events_.uniform(250, 1500), {}, 0};
        s.amp[0] = events_.uniform(60, 150);
        s.amp[1] = s.amp[0] * events_.uniform(0.4, 1.0);
        s.field = events_.uniform(80, 220);
        spikes_.push_back(s);
    } else if (kind < 2.0 / 3) {
        drops_.push_back({t, events_.uniform(15e3, 40e3), events_.uniform(4, 10)});
    } else {
        RfBurst b{t, t + events_.uniform(500, 4000), {}, {}};
        b.hz[0] = std::exp(events_.uniform(std::log(1000.0), std::log(30000.0)));
        b.hz[1] = b.hz[0] * events_.uniform(0.9, 1.1);
        double which = events_.uniform();
        b.on[0] = which < 2.0 / 3;
        b.on[1] = which >= 1.0 / 3;
        bursts_.push_back(b);
    }
}

double SimSignals::spikeLevel(int channel, double t) const {
    double sum = 0;
    for (const auto& s : spikes_)
        if (t >= s.t0)
            sum += s.amp[channel] * std::exp(-(t - s.t0) / s.tau);
    return sum;
}

int SimSignals::level(int channel, double t) {
    advance(t);
    const Channel& c = ch_[channel];
    double v = c.center + c.drift1 * std::sin(kTwoPi * t / c.period1 + c.phase1) +
               c.drift2 * std::sin(kTwoPi * t / c.period2 + c.phase2) +
               c.hum * std::sin(kTwoPi * mains_ * t / 1000 + c.humPhase) + spikeLevel(channel, t) +
               noise_.uniform(-2.5, 2.5);
    return clampRound(v, 16, 1023);
}

int SimSignals::frequency(int channel, double t) {
    advance(t);
    for (const auto& b : bursts_) {
        if (t >= b.t0 && b.on[channel]) {
            double wobble = 1 + 0.02 * std::sin(kTwoPi * (t - b.t0) / 700);
            return clampRound(b.hz[channel] * wobble * noise_.uniform(0.995, 1.005), 1, 65535);
        }
    }
    double hz = ch_[channel].harmonic * mains_ + noise_.uniform(-1.5, 1.5);
    return clampRound(hz, 1, 65535);
}

int SimSignals::temperature(double t) {
    advance(t);
    double v = tempBase_ + tempSwing_ * std::sin(kTwoPi * t / tempPeriod_ + tempPhase_);
    double drop = 0;
    for (const auto& d : drops_)
        if (t >= d.t0)
            drop += d.depth * std::exp(-(t - d.t0) / d.tau);
    v -= std::min(drop, 10.0); // overlapping cold spots do not add up without end
    return clampRound(v + noise_.uniform(-0.5, 0.5), 0, 255);
}

std::array<int, 4> SimSignals::sensors(double t) {
    advance(t);
    double heading = heading0_ + kTwoPi * t / turnPeriod_ +
                     0.6 * std::sin(kTwoPi * t / wobblePeriod_ + wobblePhase_);
    double radius = radius_;
    for (const auto& s : spikes_)
        if (t >= s.t0)
            radius += s.field * std::exp(-(t - s.t0) / s.tau);
    double offset = 6 * std::sin(kTwoPi * t / 40e3);
    // s1 top, s2 right, s3 left, s4 bottom: the sensor facing the field reads
    // lowest, and the field turns the lowest one round the rose.
    static constexpr double kAt[4] = {0, 0.25, 0.75, 0.5};
    std::array<int, 4> s{};
    for (int i = 0; i < 4; ++i) {
        double v =
            500 + offset - radius * std::cos(heading - kTwoPi * kAt[i]) + noise_.uniform(-2, 2);
        s[i] = clampRound(v, 0, 65535);
    }
    return s;
}

std::optional<Answer> SimSignals::answer(char request, double t) {
    Answer a{};
    switch (request) {
    case '>':
        put16(a, 0, level(0, t));
        put16(a, 2, level(1, t));
        put16(a, 4, frequency(0, t));
        put16(a, 6, frequency(1, t));
        return a;
    case '=':
        // Two successive conversions of both channels, half a millisecond
        // apart.
        put16(a, 0, level(0, t));
        put16(a, 2, level(1, t));
        put16(a, 4, level(0, t + 0.5));
        put16(a, 6, level(1, t + 0.5));
        return a;
    case '%':
        a[4] = static_cast<std::uint8_t>(temperature(t));
        return a;
    case '/': {
        auto s = sensors(t);
        for (int i = 0; i < 4; ++i)
            put16(a, 2 * i, s[i]);
        return a;
    }
    default:
        return std::nullopt;
    }
}

} // namespace kestle::device
