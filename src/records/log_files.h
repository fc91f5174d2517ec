// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three text logs of the data folder and their headers. Files are opened
// for appending, never truncated; every write reaches the operating system
// before it returns (a crash loses at most the row being written).
// Window thread only.
#include "support/result.h"
#include "support/textfile.h"

#include <filesystem>
#include <string>

namespace kestle::records {

enum class Log { Data, RfThreshold, Alarm };

// "CV_data_file.csv", "CV_rf_threshold.csv", "CV_Alarm_Log.TXT".
const char* logFileName(Log log);
// Header text written at each switch-on, without the write's own line end.
std::string logHeader(Log log);

class LogFiles {
  public:
    // Opens `folder`/name for appending and writes the header. On failure
    // the log stays closed and the error names the file and the reason.
    Status open(Log log, const std::filesystem::path& folder);
    void close(Log log);
    bool isOpen(Log log) const;
    // One write of a text followed by CR LF. On failure the file is closed
    // (rows already written stay) and the error names the file and reason.
    // A file that no longer exists at its path (folder removed) fails too.
    Status writeLine(Log log, const std::string& utf8);
    std::filesystem::path path(Log log) const;

  private:
    AppendFile& file(Log log);
    const AppendFile& file(Log log) const;
    AppendFile data_, rf_, alarm_;
};

} // namespace kestle::records
