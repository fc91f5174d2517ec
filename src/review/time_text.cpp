// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/time_text.h"

#include "support/datetime.h"

#include <cstdio>

namespace kestle::review {

namespace {

std::int64_t floorSeconds(std::int64_t ms) {
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

} // namespace

std::string dateTimeText(std::int64_t ms) {
    const LocalDateTime t = fromEpochSeconds(floorSeconds(ms));
    char b[32];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return b;
}

std::string clockText(std::int64_t ms) {
    return dateTimeText(ms).substr(11);
}

std::string durationText(std::int64_t ms) {
    const std::int64_t s = ms < 0 ? 0 : ms / 1000;
    char b[48];
    if (s >= 3600)
        std::snprintf(b, sizeof b, "%lld h %02lld min", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60));
    else if (s >= 60)
        std::snprintf(b, sizeof b, "%lld min %02lld s", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    else
        std::snprintf(b, sizeof b, "%lld s", static_cast<long long>(s));
    return b;
}

std::string momentTimeText(std::int64_t ms) {
    std::string t = dateTimeText(ms);
    t[10] = 'T';
    char b[8];
    std::snprintf(b, sizeof b, ".%03lld", static_cast<long long>(ms - floorSeconds(ms) * 1000));
    return t + b;
}

std::optional<std::int64_t> parseMomentTime(std::string_view text) {
    LocalDateTime t;
    if (text.size() < 19 || !parseIsoDateTime(text.substr(0, 19), t))
        return std::nullopt;
    std::int64_t ms = 0;
    if (text.size() > 19) {
        const std::string_view frac = text.substr(19);
        if (frac.size() != 4 || frac[0] != '.')
            return std::nullopt;
        for (char c : frac.substr(1)) {
            if (c < '0' || c > '9')
                return std::nullopt;
            ms = ms * 10 + (c - '0');
        }
    }
    return toEpochSeconds(t) * 1000 + ms;
}

} // namespace kestle::review
