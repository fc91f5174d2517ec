#pragma once
// Times of a session as a review shows them. Pure; any thread.
#include <cstdint>
#include <string>

namespace kestle::review {

// "2026-12-07 22:00:05" of a local time in ms (as Reading::ms).
std::string dateTimeText(std::int64_t ms);
// "22:00:05".
std::string clockText(std::int64_t ms);
// "7 h 05 min", "12 min 03 s", "8 s".
std::string durationText(std::int64_t ms);

} // namespace kestle::review
