// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times of a session as a review shows them. Pure; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestle::review {

// "2026-12-07 22:00:05" of a local time in ms (as Reading::ms).
std::string dateTimeText(std::int64_t ms);
// "22:00:05".
std::string clockText(std::int64_t ms);
// "7 h 05 min", "12 min 03 s", "8 s".
std::string durationText(std::int64_t ms);
// "2026-12-07T22:00:05.250": a moment's start, as --moments prints it.
std::string momentTimeText(std::int64_t ms);
// The ms of such a text (the milliseconds optional); nullopt otherwise.
std::optional<std::int64_t> parseMomentTime(std::string_view text);

} // namespace kestle::review
