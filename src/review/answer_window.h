// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which words answer a question: those chosen in its answer window, the
// answer time the operator had chosen when asking it (from the journal's
// actions), or, asked in " Constant", until the next question or until
// constant mode is left. No toolkit; any thread.
#include <cstdint>
#include <string_view>

namespace kestle::review {

class AnswerWindows {
  public:
    // An operator's action as the journal has it ("click Option1(2)").
    void action(std::string_view command, std::int64_t ms);
    void asked(std::int64_t ms);
    // A word chosen at `ms` answers the last question asked.
    bool answers(std::int64_t ms) const;

    // The answer cycle under way when the window closes still ends: a word
    // it chooses that late answers the question too.
    static constexpr std::int64_t kLastCycleMs = 1000;

  private:
    int option_ = 1;                          // "5 sec", selected at start
    std::int64_t askedAt_ = -1, endsAt_ = -1; // endsAt_ -1: open (constant)
};

} // namespace kestle::review
