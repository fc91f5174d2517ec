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

} // namespace kestle::review
