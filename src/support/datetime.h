// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local calendar time and the general date format used in logs, alarm lines
// and capture file names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestle {

struct LocalDateTime {
    int year = 2000, month = 1, day = 1; // month 1-12, day 1-31
    int hour = 0, minute = 0, second = 0;
    bool operator==(const LocalDateTime&) const = default;
};

// Seconds since 1970-01-01 00:00:00 of the same calendar: proleptic
// Gregorian arithmetic, no time zone and no daylight saving. The fields of
// `t` must form a valid date and time.
std::int64_t toEpochSeconds(const LocalDateTime& t);
LocalDateTime fromEpochSeconds(std::int64_t s);
// `t` plus `ms`, floored to whole seconds (1500 adds 1 s, -1 takes 1 s off).
LocalDateTime addMilliseconds(const LocalDateTime& t, std::int64_t ms);

// Parses exactly "YYYY-MM-DDTHH:MM:SS"; false (and `out` untouched) on any
// other form or an invalid date or time.
bool parseIsoDateTime(std::string_view text, LocalDateTime& out);

// The system's local time now (the C library's time zone).
LocalDateTime systemLocalNow();

// The general date format: the locale's short date with a four-digit year, a
// blank, and the time with seconds. Under an English (US) or C locale:
// "12/7/2026 4:50:20 AM" (12-hour clock, no leading zeros on month, day and
// hour). `localeName` is the LC_TIME locale in effect; empty means: the first
// set of LC_ALL, LC_TIME, LANG. A few common European locales (en_GB, de_DE,
// fr_FR, nl_NL, es_ES, it_IT) use their own order and a 24-hour clock
// ("07.12.2026 16:50:20"); every other locale uses the US form. The time is
// always included, midnight too. Reads the environment: not thread-safe
// against setenv.
std::string generalDate(const LocalDateTime& t, std::string_view localeName = {});

// Reads a time written by generalDate: two date numbers and a four-digit
// year separated by '/', '.' or '-', a blank, H:MM:SS and an optional
// " AM"/" PM". `dayFirst` says which of the two numbers is the day (the
// text alone cannot tell "3/4/2026" apart). nullopt for any other text or
// an invalid date or time.
std::optional<LocalDateTime> parseGeneralDate(std::string_view text, bool dayFirst);

// Makes a time stamp safe for a file name: every character that is not a
// blank, an ASCII letter or a digit becomes "_" ("12/7/2026 4:50:20 AM" ->
// "12_7_2026 4_50_20 AM"). A multi-byte UTF-8 character gives one "_", an
// invalid byte one "_" each.
std::string swapstring(std::string_view text);

} // namespace kestle
