#pragma once
// The PDF report of a session, for a client to read and to check the bag
// against: its times, the unit, the settings, the plots of the night, each
// question with its answer words, the alarms, the captures with thumbnails
// of their pictures, and every file of the bag with its SHA-256.
// Written with Qt's PDF writer: the process needs a QGuiApplication (the
// offscreen platform will do). Any one thread at a time.
#include "review/session_model.h"
#include "support/result.h"

#include <filesystem>
#include <ostream>

namespace kestle::review {

// Writes the report to `pdf` (replaced); the error names what failed.
Status writeReport(const SessionModel& m, const std::filesystem::path& pdf);

// `kestle --report DIR FILE.pdf`: 0 when written, 1 with the reason on
// `err` when the bag cannot be read or the file cannot be written.
int reportCommand(const std::filesystem::path& bag, const std::filesystem::path& pdf,
                  std::ostream& out, std::ostream& err);

} // namespace kestle::review
