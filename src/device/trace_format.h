// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text form of a Kestle session, one exchange a line: the request character,
// then the eight answer bytes in hex, e.g. "> 00 00 00 00 01 0A 00 1E".
// "#" starts a comment that runs to the end of the line; blank lines are
// ignored. Written by the recording link, read by the replay link.
#include "support/result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::device {

// Bytes 1-8 of an input report.
using Answer = std::array<std::uint8_t, 8>;

struct TraceEntry {
    char request = 0;
    Answer answer{};
    bool operator==(const TraceEntry&) const = default;
};

using Trace = std::vector<TraceEntry>;

// True for characters a trace line can start with: printable ASCII other
// than blank and "#".
bool isTraceRequest(char c);

// Parses a whole trace (LF or CR LF line ends). Errors read
// "line N: <reason>", N counting from 1.
Result<Trace> parseTrace(std::string_view text);
// The same, a line at a time (a trace inflated as it is read): each line
// without its line end.
class TraceParser {
  public:
    Status line(std::string_view line);
    Trace take() { return std::move(trace_); }

  private:
    Trace trace_;
    int lineNo_ = 0;
};
// Reads and parses a regular file of at most kMaxTraceBytes; errors name
// the file.
inline constexpr std::uint64_t kMaxTraceBytes = std::uint64_t{1} << 30;
Result<Trace> loadTrace(const std::filesystem::path& path);

// One line without its line end, hex in upper case, single blanks.
// `e.request` must satisfy isTraceRequest.
std::string formatTraceLine(const TraceEntry& e);

} // namespace kestle::device
