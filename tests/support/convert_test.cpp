// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/convert.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace kestle {
namespace {

TEST(NumText, LeadingBlankOnlyForNonNegative) {
    EXPECT_EQ(numText(523), " 523");
    EXPECT_EQ(numText(-10), "-10");
    EXPECT_EQ(numText(12.5), " 12.5");
    EXPECT_EQ(numText(0), " 0");
    EXPECT_EQ(numText(-0.0), " 0");
    EXPECT_EQ(numText(-0.25), "-0.25");
}

TEST(PlainDecimal, FifteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(plainDecimal(6247.0 / 12), "520.583333333333");
    EXPECT_EQ(plainDecimal(2.6123046875), "2.6123046875");
    EXPECT_EQ(plainDecimal(0.5), "0.5");
    EXPECT_EQ(plainDecimal(12.5), "12.5");
    EXPECT_EQ(plainDecimal(-3), "-3");
    EXPECT_EQ(plainDecimal(0), "0");
    EXPECT_EQ(plainDecimal(-0.0), "0");
    EXPECT_EQ(plainDecimal(0.1 + 0.2), "0.3");
    EXPECT_EQ(plainDecimal(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(plainDecimal(-1.0 / 3), "-0.333333333333333");
    EXPECT_EQ(plainDecimal(1024 * 0.00244140625), "2.5");
}

TEST(PlainDecimal, ExponentOnlyOutsideTheOrdinaryRange) {
    EXPECT_EQ(plainDecimal(1e15), "1000000000000000");
    EXPECT_EQ(plainDecimal(999999999999999), "999999999999999");
    EXPECT_EQ(plainDecimal(1e-15), "0.000000000000001");
    EXPECT_EQ(plainDecimal(-1.25e-15), "-0.00000000000000125");
    EXPECT_EQ(plainDecimal(1e16), "1E+16");
    EXPECT_EQ(plainDecimal(1.5e15), "1.5E+15");
    EXPECT_EQ(plainDecimal(1e-16), "1E-16");
    EXPECT_EQ(plainDecimal(-2.5e-300), "-2.5E-300");
    EXPECT_EQ(plainDecimal(123456789012345678.0), "1.23456789012346E+17");
}

TEST(PlainDecimal, NonFiniteValuesHaveAText) {
    EXPECT_EQ(plainDecimal(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(plainDecimal(std::numeric_limits<double>::infinity()), "Inf");
    EXPECT_EQ(plainDecimal(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(PlainDecimal, IgnoresTheCLocale) {
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no German locale installed";
    const std::string text = plainDecimal(12.5);
    const double back = leadingNumber("12.5");
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_EQ(text, "12.5");
    EXPECT_EQ(back, 12.5);
}

TEST(FormatMask, TwoForcedDecimals) {
    EXPECT_EQ(formatMask(0.49, "#.00"), ".49");
    EXPECT_EQ(formatMask(2.5, "#.00"), "2.50");
    EXPECT_EQ(formatMask(0, "#.00"), ".00");
    EXPECT_EQ(formatMask(12.345, "#.00"), "12.35");
    EXPECT_EQ(formatMask(2.675, "#.00"), "2.68");
    EXPECT_EQ(formatMask(1.005, "#.00"), "1.01");
    EXPECT_EQ(formatMask(0.004, "#.00"), ".00");
    EXPECT_EQ(formatMask(-1.5, "#.00"), "-1.50");
    EXPECT_EQ(formatMask(-2.675, "#.00"), "-2.68");
    EXPECT_EQ(formatMask(1024 * 0.00244140625, "#.00"), "2.50");
}

TEST(FormatMask, RoundingCarriesIntoTheIntegerPart) {
    EXPECT_EQ(formatMask(9.995, "#.00"), "10.00");
    EXPECT_EQ(formatMask(0.999, "#.00"), "1.00");
    EXPECT_EQ(formatMask(99.999, "##.##"), "100.");
    EXPECT_EQ(formatMask(-0.996, "#.00"), "-1.00");
}

TEST(FormatMask, OptionalDecimals) {
    EXPECT_EQ(formatMask(0, "##.##"), ".");
    EXPECT_EQ(formatMask(72, "##.##"), "72.");
    EXPECT_EQ(formatMask(12.345, "##.##"), "12.35");
    EXPECT_EQ(formatMask(0.5, "##.##"), ".5");
    EXPECT_EQ(formatMask(123.4, "##.##"), "123.4");
    EXPECT_EQ(formatMask(1.10, "##.##"), "1.1");
    EXPECT_EQ(formatMask(3.999, "##.##"), "4.");
    EXPECT_EQ(formatMask(0.001, "##.##"), ".");
}

TEST(FormatMask, ResultRoundingToZeroHasNoMinus) {
    EXPECT_EQ(formatMask(-0.001, "##.##"), ".");
    EXPECT_EQ(formatMask(-0.004, "#.00"), ".00");
    EXPECT_EQ(formatMask(-0.0, "#.00"), ".00");
    EXPECT_EQ(formatMask(-0.005, "#.00"), "-.01");
}

TEST(FormatMask, ForcedIntegerDigitsAndWholeNumbers) {
    EXPECT_EQ(formatMask(0.5, "0.00"), "0.50");
    EXPECT_EQ(formatMask(5, "00"), "05");
    EXPECT_EQ(formatMask(123, "00"), "123");
    EXPECT_EQ(formatMask(0.25, "#0.0#"), "0.25");
    EXPECT_EQ(formatMask(0.2, "#0.0#"), "0.2");
    EXPECT_EQ(formatMask(2.5, "#"), "3");
    EXPECT_EQ(formatMask(-2.5, "#"), "-3");
    EXPECT_EQ(formatMask(0.4, "#"), "");
    EXPECT_EQ(formatMask(1e20, "#.00"), "100000000000000000000.00");
}

TEST(FormatMask, LiteralsAroundTheDigitsAreKept) {
    EXPECT_EQ(formatMask(0.49, "#.00 VDC"), ".49 VDC");
    EXPECT_EQ(formatMask(-1.5, "$#.00"), "-$1.50");
}

TEST(RoundToInt16, HalfToEvenWithinRange) {
    EXPECT_EQ(roundToInt16(100.5), 100);
    EXPECT_EQ(roundToInt16(101.5), 102);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(-3.5), -4);
    EXPECT_EQ(roundToInt16(0.4999999), 0);
    EXPECT_EQ(roundToInt16(2047.6), 2048);
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_EQ(roundToInt16(-32768.5), -32768);
}

TEST(RoundToInt16, OutOfRangeAfterRoundingIsRejected) {
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt);
    EXPECT_EQ(roundToInt16(-32769), std::nullopt);
    EXPECT_EQ(roundToInt16(40000), std::nullopt);
    EXPECT_EQ(roundToInt16(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(roundToInt16(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(RoundToInt32, HalfToEvenAndClamped) {
    EXPECT_EQ(roundToInt32(2.5), 2);
    EXPECT_EQ(roundToInt32(3.5), 4);
    EXPECT_EQ(roundToInt32(-70000.5), -70000);
    EXPECT_EQ(roundToInt32(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(roundToInt32(-1e12), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(LeadingNumber, TakesTheNumericStart) {
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(leadingNumber("  7"), 7);
    EXPECT_EQ(leadingNumber("12.5 mG"), 12.5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber(".5"), 0.5);
    EXPECT_EQ(leadingNumber(".50"), 0.5);
    EXPECT_EQ(leadingNumber("-3.5 V"), -3.5);
    EXPECT_EQ(leadingNumber("+4"), 4);
    EXPECT_EQ(leadingNumber("5."), 5);
    EXPECT_EQ(leadingNumber("--3"), 0);
    EXPECT_EQ(leadingNumber("$5"), 0);
}

TEST(LeadingNumber, IgnoresBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(leadingNumber("1 2"), 12);
    EXPECT_EQ(leadingNumber("\t-\n3 . 5"), -3.5);
    EXPECT_EQ(leadingNumber("  12.5 mG"), 12.5);
    EXPECT_EQ(leadingNumber("\r5"), 0); // CR is not one of them
}

TEST(LeadingNumber, Exponents) {
    EXPECT_EQ(leadingNumber("1e3x"), 1000);
    EXPECT_EQ(leadingNumber("2D2"), 200);
    EXPECT_EQ(leadingNumber("1.5E-2"), 0.015);
    EXPECT_EQ(leadingNumber("1e"), 1);
    EXPECT_EQ(leadingNumber("1E+"), 1);
    EXPECT_EQ(leadingNumber("7e-x"), 7);
    EXPECT_EQ(leadingNumber("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(leadingNumber("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(leadingNumber("1e-400"), 0);
    EXPECT_EQ(leadingNumber("1e99999999999999999999"), std::numeric_limits<double>::infinity());
}

TEST(LeadingNumber, MinusZeroIsPlainZero) {
    EXPECT_FALSE(std::signbit(leadingNumber("-0")));
    EXPECT_EQ(plainDecimal(leadingNumber("-0.00")), "0");
}

TEST(ParseNumber, AcceptsWholeNumbers) {
    EXPECT_EQ(parseNumber(" 12.5 "), 12.5);
    EXPECT_EQ(parseNumber("-3"), -3);
    EXPECT_EQ(parseNumber("+4"), 4);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5);
    EXPECT_EQ(parseNumber("1.5E-2"), 0.015);
    EXPECT_EQ(parseNumber("\t2e3\t"), 2000);
    EXPECT_EQ(parseNumber(plainDecimal(6247.0 / 12)), 520.583333333333);
}

TEST(ParseNumber, RejectsAnythingElse) {
    for (const char* text : {"", "   ", "abc", "1x", "1.2.3", "1 2", ".", "-", "1e", "e5", "--1",
                             "12.5 mG", "0x10", "1,5"})
        EXPECT_EQ(parseNumber(text), std::nullopt) << '"' << text << '"';
}

TEST(ToBoolean, WordsInAnyCaseOrNumbers) {
    EXPECT_EQ(toBoolean("True"), true);
    EXPECT_EQ(toBoolean("TRUE"), true);
    EXPECT_EQ(toBoolean(" false "), false);
    EXPECT_EQ(toBoolean("fAlSe"), false);
    EXPECT_EQ(toBoolean("0"), false);
    EXPECT_EQ(toBoolean("0.0"), false);
    EXPECT_EQ(toBoolean("-1"), true);
    EXPECT_EQ(toBoolean("2.5"), true);
    for (const char* text : {"", "yes", "T", "Truex", "1x"})
        EXPECT_EQ(toBoolean(text), std::nullopt) << '"' << text << '"';
}

TEST(ToBoolean, ReadsBackFlagText) {
    EXPECT_EQ(flagText(true), "True");
    EXPECT_EQ(flagText(false), "False");
    EXPECT_EQ(toBoolean(flagText(true)), true);
    EXPECT_EQ(toBoolean(flagText(false)), false);
}

TEST(ToInt16, NumbersRoundedHalfToEven) {
    EXPECT_EQ(toInt16("12"), 12);
    EXPECT_EQ(toInt16("  -7 "), -7);
    EXPECT_EQ(toInt16("2.5"), 2);
    EXPECT_EQ(toInt16("3.5"), 4);
    EXPECT_EQ(toInt16("-32768"), -32768);
    for (const char* text : {"", "40000", "True", "12abc", "-32769"})
        EXPECT_EQ(toInt16(text), std::nullopt) << '"' << text << '"';
}

} // namespace
} // namespace kestle
