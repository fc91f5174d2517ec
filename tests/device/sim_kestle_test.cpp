// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/sim_kestle.h"
#include "link_probe.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kestle::device {
namespace {

using test::LinkProbe;

int be16(const Answer& a, int at) {
    return a[at] * 256 + a[at + 1];
}

struct Session {
    explicit Session(std::uint32_t seed, Millis latency = 1) : link(sched, seed, latency) {
        link.connect(probe.events());
        sched.run();
    }
    Answer ask(char request) {
        probe.answers.clear();
        EXPECT_TRUE(probe.send(request));
        sched.run();
        EXPECT_EQ(probe.answers.size(), 1u) << request;
        return probe.answers.empty() ? Answer{} : probe.answers[0];
    }
    // The requests of one acquisition cycle, in the order the application
    // sends them.
    std::vector<Answer> cycle() {
        std::vector<Answer> out{ask('>'), ask('%')};
        for (int i = 0; i < 120; ++i)
            out.push_back(ask('='));
        out.push_back(ask('/'));
        out.push_back(ask('>'));
        return out;
    }

    VirtualScheduler sched;
    SimKestle link;
    LinkProbe probe{link};
};

int lowestSensor(const Answer& a) {
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (be16(a, 2 * i) < be16(a, 2 * best))
            best = i;
    return best;
}

TEST(SimKestle, SameSeedSameAnswersOtherSeedOtherAnswers) {
    auto twentyCycles = [](std::uint32_t seed) {
        Session s(seed);
        std::vector<Answer> all;
        for (int i = 0; i < 20; ++i) {
            auto c = s.cycle();
            all.insert(all.end(), c.begin(), c.end());
        }
        return all;
    };
    auto first = twentyCycles(7);
    EXPECT_EQ(first, twentyCycles(7));
    EXPECT_NE(first, twentyCycles(8));
}

TEST(SimKestle, AnswersLieInBelievableRanges) {
    Session s(42);
    for (int i = 0; i < 40; ++i) {
        auto c = s.cycle();
        for (const Answer& a : {c.front(), c.back()}) { // ">": levels, then frequencies
            for (int at : {0, 2}) {
                EXPECT_GE(be16(a, at), 16);
                EXPECT_LE(be16(a, at), 1023);
            }
            EXPECT_GT(be16(a, 4), 0);
            EXPECT_GT(be16(a, 6), 0);
        }
        EXPECT_NEAR(c[1][4], 70, 15); // "%": raw temperature
        for (int k = 2; k < 122; ++k) // "=": A, B, A, B counts
            for (int at = 0; at < 8; at += 2) {
                EXPECT_GE(be16(c[k], at), 16);
                EXPECT_LE(be16(c[k], at), 1023);
            }
        for (int at = 0; at < 8; at += 2) // "/": around 500
            EXPECT_NEAR(be16(c[122], at), 500, 300);
    }
}

TEST(SimKestle, TheLowestSensorTurns) {
    Session s(3);
    std::set<int> lowest;
    for (int i = 0; i < 10000; ++i)
        lowest.insert(lowestSensor(s.ask('/')));
    EXPECT_GE(lowest.size(), 2u);
}

TEST(SimKestle, WithoutLatencyAnswersStillMove) {
    Session s(5, /*latency=*/0);
    std::set<Answer> seen;
    for (int i = 0; i < 50; ++i)
        seen.insert(s.ask('='));
    EXPECT_EQ(s.sched.nowMs(), 0);
    EXPECT_GT(seen.size(), 10u);
}

TEST(SimKestle, UnknownRequestIsIgnoredAndUnplugWorks) {
    Session s(1);
    ASSERT_TRUE(s.probe.send('?'));
    s.sched.run();
    EXPECT_TRUE(s.probe.answers.empty());
    s.link.unplug();
    s.sched.run();
    EXPECT_FALSE(s.probe.send('>'));
    s.link.plug();
    s.sched.run();
    s.ask('>');
    EXPECT_EQ(s.probe.answers.size(), 1u);
    EXPECT_EQ(s.probe.log.back(), "read 1");
}

// Ten minutes of the signals at the pace of a running acquisition.
struct Span {
    int minLevel = 1 << 30, maxLevel = 0, biggestJump = 0, falls = 0;
    int minFreq = 1 << 30, maxFreq = 0, offMains = 0;
    int minTemp = 255, maxTemp = 0;
};

Span tenMinutes(std::uint32_t seed) {
    SimSignals sig(seed);
    Span s;
    int prev = -1;
    for (double t = 0; t < 600e3; t += 10) {
        int a = sig.level(0, t);
        s.minLevel = std::min(s.minLevel, a);
        s.maxLevel = std::max(s.maxLevel, a);
        if (prev >= 0) {
            s.biggestJump = std::max(s.biggestJump, a - prev);
            s.falls += a < prev;
        }
        prev = a;
        for (int ch = 0; ch < 2; ++ch) {
            int f = sig.frequency(ch, t + 1);
            s.minFreq = std::min(s.minFreq, f);
            s.maxFreq = std::max(s.maxFreq, f);
            int m = sig.mainsHz();
            int nearest = std::max(1, (f + m / 2) / m) * m;
            s.offMains += std::abs(f - nearest) > 2;
        }
        int temp = sig.temperature(t + 2);
        s.minTemp = std::min(s.minTemp, temp);
        s.maxTemp = std::max(s.maxTemp, temp);
    }
    return s;
}

TEST(SimSignals, DriftHumAndDisturbancesShowOverTenMinutes) {
    for (std::uint32_t seed : {1u, 2u, 99u}) {
        SCOPED_TRACE(seed);
        Span s = tenMinutes(seed);
        EXPECT_GE(s.minLevel, 16);
        EXPECT_GT(s.maxLevel - s.minLevel, 150); // drift
        EXPECT_GT(s.biggestJump, 100);           // a field spike
        EXPECT_GT(s.falls, 1000);                // and levels that fall back
        EXPECT_GE(s.minFreq, 1);
        EXPECT_GE(s.maxFreq, 1000); // an RF burst
        EXPECT_GT(s.offMains, 0);
        EXPECT_LT(s.offMains, 120000 / 2); // mostly on mains harmonics
        EXPECT_GE(s.minTemp, 50);
        EXPECT_LE(s.maxTemp, 85);
        EXPECT_GE(s.maxTemp - s.minTemp, 4); // drift and a drop
    }
}

TEST(SimSignals, MainsIsFiftyOrSixtyHertz) {
    std::set<int> mains;
    for (std::uint32_t seed = 0; seed < 20; ++seed)
        mains.insert(SimSignals(seed).mainsHz());
    EXPECT_EQ(mains, (std::set<int>{50, 60}));
}

} // namespace
} // namespace kestle::device
