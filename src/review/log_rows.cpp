// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/log_rows.h"

#include "scope/burst.h"
#include "support/convert.h"

#include <cmath>
#include <cstdlib>

namespace kestle::review {

namespace {

// Column indices of a row. The word (column 10) may itself hold commas:
// the columns after it are counted from the row's end, where the six
// fields and the closing comma's empty field stand.
constexpr std::size_t kThreshold = 3, kVoltsA = 5, kVoltsB = 6, kFirstFixed = 10;
constexpr std::size_t kTemp = 9, kEmfA = 7, kEmfB = 6, kEmfC = 5, kFromEnd = 9; // from the end

// Splits at ','; views into `row`.
std::vector<std::string_view> split(std::string_view row) {
    std::vector<std::string_view> out;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = row.find(',', from);
        out.push_back(row.substr(from, comma - from));
        if (comma == std::string_view::npos)
            return out;
        from = comma + 1;
    }
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<LocalDateTime> rowTime(std::string_view row, bool dayFirst) {
    return parseGeneralDate(trimmed(row.substr(0, row.find(','))), dayFirst);
}

} // namespace

std::optional<Values> rowValues(std::string_view row) {
    const std::vector<std::string_view> f = split(row);
    if (f.size() < kFirstFixed + kFromEnd)
        return std::nullopt;
    const std::string_view threshold = trimmed(f[kThreshold]);
    if (threshold.empty() ||
        std::string_view("0123456789.-").find(threshold.front()) == std::string_view::npos)
        return std::nullopt; // a question line's "NA", a header's title
    auto num = [&f](std::size_t c) { return leadingNumber(f[c]); };
    auto last = [&f](std::size_t c) { return leadingNumber(f[f.size() - c]); };
    Values v{};
    v[int(Series::VoltsA)] = num(kVoltsA);
    v[int(Series::VoltsB)] = num(kVoltsB);
    v[int(Series::Threshold)] = num(kThreshold);
    v[int(Series::Emf)] = scope::combinedField(last(kEmfA), last(kEmfB));
    double strongest = 0;
    for (std::size_t c = kEmfC; c > kEmfC - 4; --c)
        if (std::abs(last(c)) > std::abs(strongest))
            strongest = last(c);
    v[int(Series::NaturalEmf)] = strongest;
    v[int(Series::Temperature)] = last(kTemp);
    return v;
}

namespace {

// The row that starts at `pos` (without its LF); `pos` moves past it. A log
// of many megabytes is read in place, row by row.
std::string_view nextRow(std::string_view text, std::size_t& pos) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        end = text.size();
    const std::string_view row = text.substr(pos, end - pos);
    pos = end + 1;
    return row;
}

} // namespace

void LogReadings::spread() {
    const std::size_t n = out_.size() - secondStarts_;
    for (std::size_t i = 1; i < n; ++i)
        out_[secondStarts_ + i].ms += static_cast<std::int64_t>(1000 * i / n);
    secondStarts_ = out_.size();
}

void LogReadings::row(std::string_view row) {
    const auto values = rowValues(row);
    if (!values)
        return;
    const auto t = rowTime(row, dayFirst_);
    if (!t)
        return;
    const std::int64_t ms = localMs(*t);
    if (secondStarts_ < out_.size() && out_[secondStarts_].ms != ms)
        spread();
    out_.push_back({ms, *values});
}

std::vector<Reading> LogReadings::finish() {
    if (secondStarts_ < out_.size())
        spread();
    return std::move(out_);
}

std::vector<Reading> logReadings(std::string_view text, bool dayFirst) {
    LogReadings r(dayFirst);
    std::size_t pos = 0;
    while (pos < text.size())
        r.row(nextRow(text, pos));
    return r.finish();
}

std::optional<bool> rowDayFirst(std::string_view row, const LocalDateTime& start) {
    if (!rowValues(row))
        return std::nullopt;
    const std::int64_t at = localMs(start);
    const auto monthFirst = rowTime(row, false), dayFirst = rowTime(row, true);
    if (!monthFirst || !dayFirst)
        return bool(dayFirst);
    return std::llabs(localMs(*dayFirst) - at) < std::llabs(localMs(*monthFirst) - at);
}

bool logDayFirst(std::string_view text, const LocalDateTime& start) {
    std::size_t pos = 0;
    while (pos < text.size())
        if (auto d = rowDayFirst(nextRow(text, pos), start))
            return *d;
    return false;
}

} // namespace kestle::review
