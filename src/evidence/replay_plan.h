// SPDX-License-Identifier: GPL-3.0-or-later
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

// The plan made a journal line at a time (a journal read from its bag as it
// goes). Errors name the line of the journal that could not be used.
class ReplayPlanner {
  public:
    Status line(std::string_view line);
    Result<ReplayPlan> finish();

  private:
    ReplayPlan plan_;
    std::size_t answerAt_ = 0;
    bool started_ = false, quitLast_ = false;
    long long last_ = 0, end_ = -1;
    int n_ = 0;
};
Result<ReplayPlan> planReplay(std::string_view journal);

} // namespace kestle::evidence
