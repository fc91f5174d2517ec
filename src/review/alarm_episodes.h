// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An alarm whose limit holds trips in every check, adding a line to the
// alarm window and the log each time (the logs keep every line). A review
// and a report show such a run as one episode: when it started and ended,
// how many times it tripped, and its peak reading. No toolkit; any thread.
#include "review/session_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::review {

// A pause longer than this between two trips of one alarm ends its episode.
inline constexpr std::int64_t kEpisodeGapMs = 5000;

// One line of the alarm window: "<date and time> Temperature Above 70
// Value = 72 F".
struct AlarmLine {
    std::string alarm;   // "Temperature Above": what tripped and which way
    std::string limit;   // the limit as it was set (may be empty)
    double value = 0;    // the reading
    std::string reading; // the reading as the line writes it, with its unit: "72 F"
    bool above = true;
};
std::optional<AlarmLine> parseAlarmLine(std::string_view line);

struct AlarmTrip {
    std::int64_t ms = 0;
    AlarmLine line;
};

struct AlarmEpisode {
    std::string alarm, limit;
    std::int64_t startMs = 0, endMs = 0;
    std::vector<AlarmTrip> trips;
    // The highest reading of an "Above" alarm, the lowest of a "Below" one.
    double peak = 0;
    std::string peakReading;
};

// The episodes of the alarm events (each may hold the lines of several
// alarms of one check), in the order they started. A line that is no alarm
// line makes an episode of its own, named by its text.
std::vector<AlarmEpisode> alarmEpisodes(const std::vector<Event>& events,
                                        std::int64_t maxGapMs = kEpisodeGapMs);

// "Temperature Above 70: 412 trips, peak 72 F".
std::string episodeSummary(const AlarmEpisode& e);

// The events with every episode's alarm events as one Alarm event at its
// start (durationMs: how long it lasted, text: its summary), in time order.
std::vector<Event> withAlarmEpisodes(const std::vector<Event>& events,
                                     const std::vector<AlarmEpisode>& episodes);

} // namespace kestle::review
