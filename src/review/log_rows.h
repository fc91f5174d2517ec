// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readings from the rows of the data log and the RF / threshold log, as
// the log stage writes them: time, Ch A, Ch B, Threshold, Trend, Ch A VDC,
// Ch B VDC, Ch A Freq, Ch B Freq, RF ID, word, Temp, Humidity, then the
// fields EMFA (channel A), EMFB (channel B) and EMFC to EMFF (the four
// natural-EMF sensors). Both logs' rows have this form whatever their
// header says; the word may hold commas. Pure functions; any thread.
#include "review/series.h"
#include "support/datetime.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kestle::review {

using Values = std::array<double, kSeriesCount>; // indexed by Series

// The six values of a row: channel volts (VDC), threshold, the combined
// field of the channels, the strongest natural-EMF sensor's field, and the
// temperature. nullopt for a header, a question line ("NA" values) or a
// row too short to be a reading.
std::optional<Values> rowValues(std::string_view row);

struct Reading {
    std::int64_t ms = 0; // local time, milliseconds since 1970 of the same calendar
    Values values{};
};

// The readings of a log's text in order. The log keeps whole seconds: the
// rows of one second are spread evenly over it. `dayFirst` is the date
// order of the log's time stamps.
std::vector<Reading> logReadings(std::string_view text, bool dayFirst);

// The same, row by row (a log read from its bag as it goes).
class LogReadings {
  public:
    explicit LogReadings(bool dayFirst) : dayFirst_(dayFirst) {}
    void row(std::string_view row);
    std::vector<Reading> finish();

  private:
    void spread();
    bool dayFirst_;
    std::vector<Reading> out_;
    std::size_t secondStarts_ = 0; // the first reading of the current second
};

// The date order of a log's time stamps: the reading of the first row
// that lies nearest `start` (the session's start) wins. False (month
// first) when no row tells.
bool logDayFirst(std::string_view text, const LocalDateTime& start);
// What one row tells of it; nullopt for a row that is not a reading.
std::optional<bool> rowDayFirst(std::string_view row, const LocalDateTime& start);

// Milliseconds since 1970 of a local time (the calendar of the logs).
inline std::int64_t localMs(const LocalDateTime& t) {
    return toEpochSeconds(t) * 1000;
}

} // namespace kestle::review
