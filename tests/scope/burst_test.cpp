// SPDX-License-Identifier: GPL-3.0-or-later
#include "scope/burst.h"

#include <cmath>
#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>

namespace kestle::scope {
namespace {

std::array<std::uint8_t, 8> bytesOf(ScopeAnswer a) {
    auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
    auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    return {hi(a.firstA),  lo(a.firstA),  hi(a.firstB),  lo(a.firstB),
            hi(a.secondA), lo(a.secondA), hi(a.secondB), lo(a.secondB)};
}

// Runs a full burst; `answer(k)` gives exchange k = 0..59.
Summary runBurst(ScopeTraces& t, const std::function<ScopeAnswer(int)>& answer,
                 int* falls = nullptr) {
    Burst b(t);
    for (int k = 0; k < kBurstAnswers; ++k) {
        b.addAnswer(2 * k + 1, bytesOf(answer(k)));
    }
    EXPECT_EQ(b.answers(), kBurstAnswers);
    if (falls) {
        *falls = b.falls();
    }
    return b.finish();
}

ScopeAnswer firstPair(int a, int b) {
    return {std::uint16_t(a), std::uint16_t(b), 0, 0};
}

TEST(ScopeDecode, BigEndianWordsWithSmallLowBytes) {
    const ScopeAnswer a = decodeAnswer({0x01, 0x0A, 0x00, 0x0F, 0x03, 0xFF, 0x02, 0x00});
    EXPECT_EQ(a.firstA, 266);
    EXPECT_EQ(a.firstB, 15);
    EXPECT_EQ(a.secondA, 1023);
    EXPECT_EQ(a.secondB, 512);
}

TEST(ScopeStore, RoundsHalfToEvenAndClamps) {
    ScopeTraces t;
    Burst b(t);
    // A x 1.953125: 32 -> 62.5 -> 62, 96 -> 187.5 -> 188; (A+B) x 0.9765625: 64 -> 62, 192 -> 188.
    b.addAnswer(1, bytesOf({32, 32, 96, 96}));
    EXPECT_EQ(t.scopea[1], 62);
    EXPECT_EQ(t.scopeab[1], 62);
    EXPECT_EQ(t.scopea[2], 188);
    EXPECT_EQ(t.scopeb[2], 188);
    EXPECT_EQ(t.scopeab[2], 188);
    b.addAnswer(119, bytesOf({0xFFFF, 0xFFFF, 0, 0}));
    EXPECT_EQ(t.scopeab[119], 32767);
    EXPECT_EQ(t.scopea[119], 32767);
    EXPECT_EQ(t.scopeab[0], 0);
    // Means of about 32000 each: their sum no longer fits 16 bits.
    EXPECT_EQ(runBurst(t, [](int) { return firstPair(0xFFFF, 0xFFFF); }).mag, 32767);
    EXPECT_THROW(b.addAnswer(2, {}), std::out_of_range);
    EXPECT_THROW(b.addAnswer(121, {}), std::out_of_range);
}

TEST(ScopeSummary, FieldConstantsAreSinesOfRadians) {
    EXPECT_EQ(std::sin(240.0), 0.9454451549211168);
    EXPECT_EQ(std::sin(120.0), 0.5806111842123143);
}

TEST(ScopeSummary, FallsCountOnlyDropsAfterTheFirstExchange) {
    struct Case {
        std::function<ScopeAnswer(int)> level;
        int falls;
    };
    const Case cases[] = {{[](int) { return firstPair(0, 0); }, 0},
                          {[](int) { return firstPair(500, 300); }, 0},
                          {[](int k) { return firstPair(10 * k, k); }, 0},
                          {[](int k) { return firstPair(1000 - 10 * k, 0); }, 59}};
    for (const Case& c : cases) {
        ScopeTraces t;
        int falls = -1;
        const Summary s = runBurst(t, c.level, &falls);
        EXPECT_EQ(falls, c.falls);
        if (c.falls == 0) {
            EXPECT_EQ(s.emfDisplay1, ". mG");
            EXPECT_EQ(s.emfA, ". mG");
            EXPECT_EQ(s.emfB, ". mG");
        }
    }
}

TEST(ScopeSummary, WorkedExample) {
    // A alternates 200, 100; B stays 100: A + B falls on the 30 even exchanges.
    // Sums: A 9000, B 6000, A + B 15000; sin(240) = 0.94544515, sin(120) = 0.58061118.
    // mean_ab = 15000 x 0.9765625 / 240 = 61.03515625
    //   combined = 30 x 61.03515625 / 200 x 0.94544515 = 9.1552734375 x 0.94544515 = 8.6558
    // mean_a = 9000 x 1.953125 / 240 = 73.2421875 -> 73
    //   emfA = 10.986328125 x 0.58061118 = 6.3788
    // mean_b = 6000 x 1.953125 / 240 = 48.828125; mag = 73 + 48.828125 -> 122
    //   emfB = 7.32421875 x 0.58061118 = 4.2525
    // ava1 = 9000 / 12 = 750, avb1 = 6000 / 12 = 500.
    EXPECT_EQ(std::sin(240.0), 0.9454451549211168);
    EXPECT_EQ(std::sin(120.0), 0.5806111842123143);
    ScopeTraces t;
    const Summary s = runBurst(t, [](int k) { return firstPair(k % 2 ? 100 : 200, 100); });
    EXPECT_NEAR(s.emfValue, 8.6558089, 1e-6);
    EXPECT_EQ(s.emfDisplay1, "8.66 mG");
    EXPECT_EQ(s.emfA, "6.38 mG");
    EXPECT_EQ(s.emfB, "4.25 mG");
    EXPECT_EQ(s.mag, 122);
    EXPECT_EQ(s.ava1, 750);
    EXPECT_EQ(s.avb1, 500);
    // The logs keep only the channels' fields; the combined one follows
    // from them (a review of a night reads it that way).
    EXPECT_NEAR(combinedField(6.3788, 4.2525), s.emfValue, 1e-3);
    EXPECT_EQ(t.scopea[1], 391); // 200 x 1.953125 = 390.625
    EXPECT_EQ(t.scopea[3], 195); // 100 x 1.953125 = 195.3125
}

TEST(ScopeSummary, MagRoundsEachStepHalfToEven) {
    // 36 x 26 + 24 x 25 = 1536 per channel: both means are exactly 12.5.
    // mean A -> 12, then 12 + 12.5 -> 12 (half away from zero would give 26).
    ScopeTraces t;
    const Summary s =
        runBurst(t, [](int k) { return firstPair(k < 36 ? 26 : 25, k < 36 ? 26 : 25); });
    EXPECT_EQ(s.mag, 24);
}

TEST(ScopeSummary, RawAveragesCapAt1024) {
    // 48 x 205 + 12 x 204 = 12288 -> 1024 (cap); one count less -> 1023.
    ScopeTraces t;
    const Summary s =
        runBurst(t, [](int k) { return firstPair(k < 48 ? 205 : 204, k < 47 ? 205 : 204); });
    EXPECT_EQ(s.ava1, 1024);
    EXPECT_EQ(s.avb1, 1023);
    EXPECT_EQ(runBurst(t, [](int) { return firstPair(0, 1023); }).avb1, 1024);
}

TEST(ScopeSummary, FieldTextRoundsTo15DigitsBeforeTheMask) {
    EXPECT_EQ(fieldText(0), ". mG");
    EXPECT_EQ(fieldText(1.005), "1.01 mG"); // the double is 1.00499999999999989...
    EXPECT_EQ(fieldText(72), "72. mG");
}

} // namespace
} // namespace kestle::scope
