#pragma once
// What a replay of a session runs: the operator's actions of its journal as
// script lines, each after the wait that puts it at its recorded time, and
// the session's start time for the virtual clock. The answers an operator
// gave to dialogs in the window are queued before the action that opened
// them.
#include "support/datetime.h"
#include "support/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence {

// The value of `key` in one journal line: a string decoded, a number as
// written; nullopt when the line has no such key.
std::optional<std::string> journalField(std::string_view line, std::string_view key);

struct ReplayPlan {
    LocalDateTime start;
    std::vector<std::string> script;
};

// Errors name the line of the journal that could not be used.
Result<ReplayPlan> planReplay(std::string_view journal);

// The text of a gzip file (a trace); an error when it cannot be read whole.
Result<std::string> readGzip(const std::string& path);

} // namespace kestle::evidence
