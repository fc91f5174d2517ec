// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/datetime.h"

#include "support/cp1252.h"

#include <array>
#include <cstdlib>
#include <ctime>

namespace kestle {

namespace {

constexpr std::int64_t kDay = 86400;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Days since 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, LocalDateTime& t) {
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[static_cast<std::size_t>(m - 1)];
}

bool readDigits(std::string_view s, std::size_t pos, std::size_t n, int& out) {
    out = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// Short date and long time of a locale, in the patterns of the original
// platform's regional settings.
enum class Order { MonthDayYear, DayMonthYear };
struct DateStyle {
    std::string_view name; // language_TERRITORY
    Order order;
    char separator;
    bool padDate; // "dd"/"MM" rather than "d"/"M"
    bool twelveHour;
    bool padHour;
};

constexpr DateStyle kUs{"en_US", Order::MonthDayYear, '/', false, true, false};
constexpr std::array<DateStyle, 6> kStyles = {{
    {"en_GB", Order::DayMonthYear, '/', true, false, true},
    {"de_DE", Order::DayMonthYear, '.', true, false, true},
    {"fr_FR", Order::DayMonthYear, '/', true, false, true},
    {"nl_NL", Order::DayMonthYear, '-', false, false, true},
    {"es_ES", Order::DayMonthYear, '/', true, false, false},
    {"it_IT", Order::DayMonthYear, '/', true, false, true},
}};

std::string effectiveLocale(std::string_view localeName) {
    if (!localeName.empty())
        return std::string(localeName);
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return v;
    }
    return "C";
}

const DateStyle& styleFor(std::string_view locale) {
    // "de_DE.UTF-8", "de_DE@euro": only language and territory count.
    const auto cut = locale.find_first_of(".@");
    const std::string_view base = locale.substr(0, cut);
    for (const DateStyle& s : kStyles)
        if (base == s.name)
            return s;
    return kUs; // C, POSIX, en_US and anything unknown
}

void appendNumber(std::string& out, int v, std::size_t width) {
    const std::string digits = std::to_string(v);
    if (digits.size() < width)
        out.append(width - digits.size(), '0');
    out += digits;
}

} // namespace

std::int64_t toEpochSeconds(const LocalDateTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * kDay + t.hour * 3600 + t.minute * 60 + t.second;
}

LocalDateTime fromEpochSeconds(std::int64_t s) {
    LocalDateTime t;
    const std::int64_t days = floorDiv(s, kDay);
    const std::int64_t rest = s - days * kDay;
    civilFromDays(days, t);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

LocalDateTime addMilliseconds(const LocalDateTime& t, std::int64_t ms) {
    return fromEpochSeconds(toEpochSeconds(t) + floorDiv(ms, 1000));
}

bool parseIsoDateTime(std::string_view text, LocalDateTime& out) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return false;
    LocalDateTime t;
    if (!readDigits(text, 0, 4, t.year) || !readDigits(text, 5, 2, t.month) ||
        !readDigits(text, 8, 2, t.day) || !readDigits(text, 11, 2, t.hour) ||
        !readDigits(text, 14, 2, t.minute) || !readDigits(text, 17, 2, t.second))
        return false;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    out = t;
    return true;
}

LocalDateTime systemLocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalDateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    // A leap second shows as :59 rather than an invalid :60.
    t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return t;
}

std::string generalDate(const LocalDateTime& t, std::string_view localeName) {
    const DateStyle& s = styleFor(effectiveLocale(localeName));
    std::string out;
    const int first = s.order == Order::MonthDayYear ? t.month : t.day;
    const int second = s.order == Order::MonthDayYear ? t.day : t.month;
    appendNumber(out, first, s.padDate ? 2 : 1);
    out += s.separator;
    appendNumber(out, second, s.padDate ? 2 : 1);
    out += s.separator;
    appendNumber(out, t.year, 4);
    out += ' ';
    int hour = t.hour;
    if (s.twelveHour)
        hour = hour % 12 == 0 ? 12 : hour % 12;
    appendNumber(out, hour, s.padHour ? 2 : 1);
    out += ':';
    appendNumber(out, t.minute, 2);
    out += ':';
    appendNumber(out, t.second, 2);
    if (s.twelveHour)
        out += t.hour < 12 ? " AM" : " PM";
    return out;
}

std::optional<LocalDateTime> parseGeneralDate(std::string_view text, bool dayFirst) {
    std::size_t pos = 0;
    auto number = [&](int& out, std::size_t maxDigits) {
        const std::size_t from = pos;
        out = 0;
        while (pos < text.size() && pos - from < maxDigits && text[pos] >= '0' && text[pos] <= '9')
            out = out * 10 + (text[pos++] - '0');
        return pos > from;
    };
    auto expect = [&](char c) { return pos < text.size() && text[pos++] == c; };
    int a = 0, b = 0;
    LocalDateTime t;
    if (!number(a, 2) || pos >= text.size())
        return std::nullopt;
    const char sep = text[pos++];
    if ((sep != '/' && sep != '.' && sep != '-') || !number(b, 2) || !expect(sep) ||
        !number(t.year, 4) || !expect(' ') || !number(t.hour, 2) || !expect(':') ||
        !number(t.minute, 2) || !expect(':') || !number(t.second, 2))
        return std::nullopt;
    t.day = dayFirst ? a : b;
    t.month = dayFirst ? b : a;
    const std::string_view rest = text.substr(pos);
    if (rest == " AM" || rest == " PM") {
        if (t.hour < 1 || t.hour > 12)
            return std::nullopt;
        t.hour = t.hour % 12 + (rest == " PM" ? 12 : 0);
    } else if (!rest.empty()) {
        return std::nullopt;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

std::string swapstring(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        const bool keep =
            c == ' ' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        nextUtf8(text, pos); // one "_" per character, or per stray byte
        out += keep ? c : '_';
    }
    return out;
}

} // namespace kestle
