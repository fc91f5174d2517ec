// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The PDF report of a session, for a client to read and to check the bag
// against: its times (as its bag-info.txt gives them), the unit, the
// settings, the plots of the night, each question with its answer words,
// the alarms, the captures with thumbnails of their pictures (read through
// the guarded bag reader), and the bag's files with their SHA-256.
// Written with Qt's PDF writer: the process needs a QGuiApplication (the
// offscreen platform will do). Any one thread at a time.
#include "review/session_model.h"
#include "support/result.h"

#include <filesystem>
#include <ostream>

namespace kestle::review {

// Writes the report to a new file beside `pdf`, renamed over it once whole:
// an interrupted report never leaves a truncated PDF there. Stops between
// two rows once `stop` is set (the new file removed). At most
// kReportListedFiles files are listed one by one; the others are summed
// per folder, and the bag's manifests list them all. The error names what
// failed.
inline constexpr std::size_t kReportListedFiles = 2000;
Status writeReport(const SessionModel& m, const std::filesystem::path& pdf,
                   evidence::StopFlag stop = {});

// `kestle --report DIR FILE.pdf`: 0 when written, 1 with the reason on
// `err` when the bag cannot be read or the file cannot be written (or the
// work was stopped).
int reportCommand(const std::filesystem::path& bag, const std::filesystem::path& pdf,
                  std::ostream& out, std::ostream& err, evidence::StopFlag stop = {});

} // namespace kestle::review
