// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/datetime.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace kestle {
namespace {

LocalDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return LocalDateTime{y, mo, d, h, mi, s};
}

TEST(EpochSeconds, KnownInstants) {
    EXPECT_EQ(toEpochSeconds(at(1970, 1, 1)), 0);
    EXPECT_EQ(toEpochSeconds(at(1969, 12, 31, 23, 59, 59)), -1);
    EXPECT_EQ(toEpochSeconds(at(2000, 3, 1)), 951868800);
    EXPECT_EQ(toEpochSeconds(at(2026, 12, 7, 4, 50, 20)), 1796619020);
    EXPECT_EQ(toEpochSeconds(at(1600, 2, 29, 12)), -11670955200);
    EXPECT_EQ(fromEpochSeconds(1796619020), at(2026, 12, 7, 4, 50, 20));
    EXPECT_EQ(fromEpochSeconds(-1), at(1969, 12, 31, 23, 59, 59));
}

TEST(EpochSeconds, RoundTripsOverCenturies) {
    // Steps of a prime number of seconds reach every time of day and every
    // day of the month across four centuries and both sides of 1970.
    for (std::int64_t s = -6'000'000'000; s < 7'000'000'000; s += 9'999'991) {
        const LocalDateTime t = fromEpochSeconds(s);
        ASSERT_EQ(toEpochSeconds(t), s);
        ASSERT_GE(t.month, 1);
        ASSERT_LE(t.month, 12);
        ASSERT_GE(t.day, 1);
        ASSERT_LE(t.day, 31);
    }
}

TEST(AddMilliseconds, FloorsToWholeSeconds) {
    const LocalDateTime t = at(2026, 12, 7, 4, 50, 20);
    EXPECT_EQ(addMilliseconds(t, 1500), at(2026, 12, 7, 4, 50, 21));
    EXPECT_EQ(addMilliseconds(t, 999), t);
    EXPECT_EQ(addMilliseconds(t, 0), t);
    EXPECT_EQ(addMilliseconds(t, -1), at(2026, 12, 7, 4, 50, 19));
    EXPECT_EQ(addMilliseconds(t, -1000), at(2026, 12, 7, 4, 50, 19));
    EXPECT_EQ(addMilliseconds(t, -1001), at(2026, 12, 7, 4, 50, 18));
}

TEST(AddMilliseconds, CrossesDaysMonthsAndYears) {
    EXPECT_EQ(addMilliseconds(at(2026, 12, 31, 23, 59, 59), 1000), at(2027, 1, 1));
    EXPECT_EQ(addMilliseconds(at(2024, 2, 28, 23, 59, 59), 1000), at(2024, 2, 29));
    EXPECT_EQ(addMilliseconds(at(2100, 2, 28), 86'400'000), at(2100, 3, 1));
    EXPECT_EQ(addMilliseconds(at(2000, 2, 28), 86'400'000), at(2000, 2, 29));
    EXPECT_EQ(addMilliseconds(at(2000, 3, 1), -1), at(2000, 2, 29, 23, 59, 59));
}

std::optional<LocalDateTime> parsed(const char* text) {
    LocalDateTime t;
    if (!parseIsoDateTime(text, t))
        return std::nullopt;
    return t;
}

TEST(ParseIsoDateTime, ValidDatesAndTimes) {
    EXPECT_EQ(parsed("2026-12-07T04:50:20"), at(2026, 12, 7, 4, 50, 20));
    EXPECT_EQ(parsed("2024-02-29T23:59:59"), at(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(parsed("2000-02-29T00:00:00"), at(2000, 2, 29));
    EXPECT_EQ(parsed("1999-04-30T12:00:00"), at(1999, 4, 30, 12));
}

TEST(ParseIsoDateTime, RejectsOtherFormsAndImpossibleDates) {
    for (const char* text :
         {"", "2026-12-07", "2026-12-07 04:50:20", "2026-12-07T04:50:20Z", "2026-12-7T04:50:20",
          "2026/12/07T04:50:20", "2026-12-07T04:50:2x", "+026-12-07T04:50:20",
          "2023-02-29T00:00:00", "1900-02-29T00:00:00", "2026-04-31T00:00:00",
          "2026-13-01T00:00:00", "2026-00-10T00:00:00", "2026-01-00T00:00:00",
          "2026-01-01T24:00:00", "2026-01-01T00:60:00", "2026-01-01T00:00:60"})
        EXPECT_EQ(parsed(text), std::nullopt) << text;
}

TEST(ParseIsoDateTime, LeavesTheTargetOnFailure) {
    LocalDateTime t = at(2001, 2, 3, 4, 5, 6);
    EXPECT_FALSE(parseIsoDateTime("2023-02-29T00:00:00", t));
    EXPECT_EQ(t, at(2001, 2, 3, 4, 5, 6));
}

TEST(SystemLocalNow, IsAValidTime) {
    const LocalDateTime t = systemLocalNow();
    EXPECT_EQ(fromEpochSeconds(toEpochSeconds(t)), t);
    EXPECT_GE(t.year, 2024);
}

// Keeps the locale variables of the process as they were.
class GeneralDate : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto& [name, value] : saved_) {
            const char* v = std::getenv(name);
            value = v ? std::optional<std::string>(v) : std::nullopt;
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }

  private:
    std::pair<const char*, std::optional<std::string>> saved_[3] = {
        {"LC_ALL", {}}, {"LC_TIME", {}}, {"LANG", {}}};
};

TEST_F(GeneralDate, UsFormTwelveHourClock) {
    EXPECT_EQ(generalDate(at(2026, 12, 7, 4, 50, 20), "en_US"), "12/7/2026 4:50:20 AM");
    EXPECT_EQ(generalDate(at(2026, 12, 7, 16, 50, 20), "en_US.UTF-8"), "12/7/2026 4:50:20 PM");
    EXPECT_EQ(generalDate(at(2026, 1, 2, 0, 5, 9), "C"), "1/2/2026 12:05:09 AM");
    EXPECT_EQ(generalDate(at(2026, 1, 2, 0, 0, 0), "POSIX"), "1/2/2026 12:00:00 AM");
    EXPECT_EQ(generalDate(at(2026, 1, 2, 12, 0, 0), "C"), "1/2/2026 12:00:00 PM");
    EXPECT_EQ(generalDate(at(2026, 1, 2, 23, 59, 59), "C"), "1/2/2026 11:59:59 PM");
    EXPECT_EQ(generalDate(at(987, 10, 11, 10, 0, 0), "C"), "10/11/0987 10:00:00 AM");
}

TEST_F(GeneralDate, EuropeanLocalesUseTheirOwnOrder) {
    const LocalDateTime t = at(2026, 3, 7, 4, 5, 6);
    EXPECT_EQ(generalDate(t, "de_DE.UTF-8"), "07.03.2026 04:05:06");
    EXPECT_EQ(generalDate(t, "en_GB"), "07/03/2026 04:05:06");
    EXPECT_EQ(generalDate(t, "fr_FR@euro"), "07/03/2026 04:05:06");
    EXPECT_EQ(generalDate(t, "nl_NL"), "7-3-2026 04:05:06");
    EXPECT_EQ(generalDate(t, "es_ES"), "07/03/2026 4:05:06");
    EXPECT_EQ(generalDate(at(2026, 12, 7, 16, 50, 20), "it_IT"), "07/12/2026 16:50:20");
}

TEST_F(GeneralDate, UnknownLocalesFallBackToUs) {
    const LocalDateTime t = at(2026, 12, 7, 16, 50, 20);
    EXPECT_EQ(generalDate(t, "xx_YY"), "12/7/2026 4:50:20 PM");
    EXPECT_EQ(generalDate(t, "de"), "12/7/2026 4:50:20 PM");
}

TEST_F(GeneralDate, EmptyNameReadsTheEnvironmentInOrder) {
    const LocalDateTime t = at(2026, 12, 7, 16, 50, 20);
    EXPECT_EQ(generalDate(t), "12/7/2026 4:50:20 PM");
    setenv("LANG", "en_GB.UTF-8", 1);
    EXPECT_EQ(generalDate(t), "07/12/2026 16:50:20");
    setenv("LC_TIME", "de_DE.UTF-8", 1);
    EXPECT_EQ(generalDate(t), "07.12.2026 16:50:20");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(generalDate(t), "12/7/2026 4:50:20 PM");
    setenv("LC_ALL", "", 1); // empty counts as unset
    EXPECT_EQ(generalDate(t), "07.12.2026 16:50:20");
}

TEST_F(GeneralDate, ReadsBackWhatEveryLocaleWrites) {
    const std::pair<const char*, bool> locales[] = {{"C", false},    {"en_GB", true},
                                                    {"de_DE", true}, {"nl_NL", true},
                                                    {"es_ES", true}, {"it_IT", true}};
    for (const LocalDateTime& t : {at(2026, 3, 7, 0, 5, 6), at(2026, 12, 31, 12, 0, 0),
                                   at(2028, 2, 29, 23, 59, 59), at(2026, 1, 1, 9, 0, 0)})
        for (const auto& [locale, dayFirst] : locales) {
            const std::string text = generalDate(t, locale);
            EXPECT_EQ(parseGeneralDate(text, dayFirst), t) << text;
        }
    // The order is the caller's: the same text, two dates.
    EXPECT_EQ(parseGeneralDate("3/4/2026 1:00:00 PM", false), at(2026, 3, 4, 13, 0, 0));
    EXPECT_EQ(parseGeneralDate("3/4/2026 1:00:00 PM", true), at(2026, 4, 3, 13, 0, 0));
    for (const char* bad :
         {"", "13/1/2026 1:00:00 AM", "2/30/2026 1:00:00", "1/2/2026 0:00:00 AM",
          "1/2/2026 24:00:00", "1/2-2026 1:00:00", "1/2/2026 1:00:00 XM", "1/2/2026", "NA"})
        EXPECT_FALSE(parseGeneralDate(bad, false)) << bad;
}

TEST(Swapstring, OnlyBlanksLettersAndDigitsSurvive) {
    EXPECT_EQ(swapstring("12/7/2026 4:50:20 AM"), "12_7_2026 4_50_20 AM");
    EXPECT_EQ(swapstring(generalDate(at(2026, 12, 7, 16, 50, 20), "de_DE")), "07_12_2026 16_50_20");
    EXPECT_EQ(swapstring("a-b.c\\d\te"), "a_b_c_d_e");
    EXPECT_EQ(swapstring(""), "");
}

TEST(Swapstring, OneUnderscorePerCharacter) {
    EXPECT_EQ(swapstring("caf\xC3\xA9"), "caf_");     // é
    EXPECT_EQ(swapstring("5 \xE2\x82\xAC"), "5 _");   // €
    EXPECT_EQ(swapstring("\xF0\x9F\x98\x80x"), "_x"); // emoji
    EXPECT_EQ(swapstring("a\xFF\xFE"
                         "b"),
              "a__b"); // stray bytes count one each
    EXPECT_EQ(swapstring("\xE2\x82"
                         "A"),
              "__A"); // truncated sequence
}

} // namespace
} // namespace kestle
