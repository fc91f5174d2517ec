// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/decode.h"

#include <gtest/gtest.h>

namespace kestle::device {
namespace {

std::array<bool, 11> only(int band) {
    std::array<bool, 11> t{};
    t[static_cast<std::size_t>(band)] = true;
    return t;
}

constexpr int kSubHz = 0, kLowHz = 1, kLowHz1 = 2, kHighHz2 = 9, kHighHz3 = 10;

TEST(Decode, AnswerBytesAreHighByteFirst) {
    EXPECT_EQ(word(0x01, 0x0A), 266);
    EXPECT_EQ(word(0x00, 0x1E), 30);
    EXPECT_EQ(word(0xFF, 0xFF), 65535);
}

TEST(Decode, FrequencyTextsSwitchToKilohertzAt1000) {
    EXPECT_EQ(frequencyText(266), " 266 Hz");
    EXPECT_EQ(frequencyText(999), " 999 Hz");
    EXPECT_EQ(frequencyText(1000), " 1KHz");
    EXPECT_EQ(frequencyText(12500), " 12.5KHz");
    EXPECT_EQ(frequencyText(65535), " 65.535KHz");
}

TEST(Decode, VoltTextsUseTheMaskWithoutALeadingZero) {
    EXPECT_EQ(voltsText(0.49), ".49 VDC");
    EXPECT_EQ(voltsText(2.5), "2.50 VDC");
    EXPECT_EQ(voltsText(100 * kVoltsPerHalfCount), ".24 VDC");
    EXPECT_EQ(voltsText(1024 * kVoltsPerCount), "5.00 VDC");
}

TEST(Decode, SharedBoundsLieInBothNeighbouringBands) {
    EXPECT_TRUE(inTickedBand(30, only(kSubHz)));
    EXPECT_TRUE(inTickedBand(30, only(kLowHz)));
    EXPECT_FALSE(inTickedBand(30, only(kLowHz1)));
    EXPECT_TRUE(inTickedBand(60, only(kLowHz1)));
    EXPECT_TRUE(inTickedBand(0, only(kSubHz)));
    EXPECT_FALSE(inTickedBand(31, only(kSubHz)));
}

TEST(Decode, TopBandStartsAt25000AndHasNoUpperBound) {
    EXPECT_TRUE(inTickedBand(25000, only(kHighHz3)));
    EXPECT_TRUE(inTickedBand(25000, only(kHighHz2)));
    EXPECT_FALSE(inTickedBand(24999, only(kHighHz3)));
    EXPECT_TRUE(inTickedBand(65535, only(kHighHz3)));
    EXPECT_FALSE(inTickedBand(25001, only(kHighHz2)));
}

TEST(Decode, NoTickedBandNoHit) {
    for (double hz : {0.0, 30.0, 266.0, 25000.0, 65535.0})
        EXPECT_FALSE(inTickedBand(hz, {})) << hz;
}

TEST(Decode, BandBitsAreDistinctPowersOfTwo) {
    int all = 0;
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(all & bandBit(i), 0) << i;
        all |= bandBit(i);
    }
    EXPECT_EQ(all, 2047);
    EXPECT_EQ(bandBit(kHighHz2), 512);
    EXPECT_EQ(bandBit(kSubHz), 1);
}

TEST(Decode, TemperatureKeepsTheMasksPoint) {
    EXPECT_EQ(temperatureText(70 + 2), "72. F");
    EXPECT_EQ(temperatureText(0), ". F");
    EXPECT_EQ(temperatureText(-5), "-5. F");
}

TEST(Decode, SensorFieldsInMilligauss) {
    EXPECT_DOUBLE_EQ(sensorField(600, 100), 10);
    EXPECT_DOUBLE_EQ(sensorField(400, 100), -10);
    EXPECT_DOUBLE_EQ(sensorField(500, 100), 0);
    EXPECT_DOUBLE_EQ(sensorField(505, 100), 0.5);
    EXPECT_EQ(fieldText(sensorField(600, 100)), " 10 mG");
    EXPECT_EQ(fieldText(sensorField(400, 100)), "-10 mG");
    EXPECT_EQ(fieldText(0), " 0 mG");
}

struct DirectionCase {
    int s1, s2, s3, s4;
    int row, square, sensor;
};

class DirectionRule : public testing::TestWithParam<DirectionCase> {};

TEST_P(DirectionRule, FirstRowThatHoldsWins) {
    const auto& c = GetParam();
    auto d = naturalDirection(c.s1, c.s2, c.s3, c.s4);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->row, c.row);
    EXPECT_EQ(d->square, c.square);
    EXPECT_EQ(d->displaySensor, c.sensor);
}

INSTANTIATE_TEST_SUITE_P(Rows, DirectionRule,
                         testing::Values(DirectionCase{400, 500, 500, 600, 1, 0, 4}, // s1 lowest
                                         DirectionCase{500, 400, 500, 600, 2, 1, 3}, // s2 lowest
                                         DirectionCase{500, 500, 600, 400, 3, 2, 1}, // s4 lowest
                                         DirectionCase{500, 600, 400, 500, 4, 3, 2}, // s3 lowest
                                         DirectionCase{400, 400, 600, 600, 5, 0,
                                                       4}, // no strict lowest
                                         DirectionCase{500, 400, 600, 400, 6, 1, 3},
                                         DirectionCase{600, 500, 400, 400, 7, 2, 1},
                                         DirectionCase{400, 400, 400, 600, 9, 0, 4}, // s4 highest
                                         DirectionCase{400, 400, 600, 400, 10, 1, 3},
                                         DirectionCase{600, 400, 400, 400, 11, 2, 1},
                                         DirectionCase{500, 600, 500, 500, 12, 3, 2}, // s2 highest
                                         DirectionCase{400, 600, 600, 400, 13, 0, 4}));

TEST(DirectionRule, AllFourEqualChangesNothing) {
    EXPECT_FALSE(naturalDirection(500, 500, 500, 500).has_value());
    EXPECT_FALSE(naturalDirection(0, 0, 0, 0).has_value());
}

TEST(DirectionRule, EveryOtherInputLightsASquareShowingTheOppositeSensor) {
    // The square and the sensor it shows always belong together.
    const int opposite[4] = {4, 3, 1, 2};
    const int values[3] = {400, 500, 600};
    for (int a : values)
        for (int b : values)
            for (int c : values)
                for (int d : values) {
                    auto r = naturalDirection(a, b, c, d);
                    if (a == b && b == c && c == d) {
                        EXPECT_FALSE(r);
                        continue;
                    }
                    ASSERT_TRUE(r) << a << b << c << d;
                    EXPECT_EQ(r->displaySensor, opposite[r->square]);
                }
}

} // namespace
} // namespace kestle::device
