// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/answer_window.h"

#include <string>

namespace kestle::review {

namespace {

constexpr int kConstant = 7;
constexpr std::int64_t kAnswerMs[] = {3000, 5000, 10000, 15000, 25000, 45000, 60000};

} // namespace

void AnswerWindows::action(std::string_view command, std::int64_t ms) {
    int option = option_;
    constexpr std::string_view kOption = "click Option1(";
    if (command.starts_with(kOption) && command.size() == kOption.size() + 2 &&
        command.back() == ')' && command[kOption.size()] >= '0' && command[kOption.size()] <= '7')
        option = command[kOption.size()] - '0';
    // Leaving constant mode, and choosing an ECM mode, select "5 sec".
    else if (command == "click cancel" || command == "click ITC1" || command == "click ITC2" ||
             command == "click ITC3")
        option = 1;
    if (option_ == kConstant && option != kConstant && askedAt_ >= 0 && endsAt_ < 0)
        endsAt_ = ms; // the constant question's answer ends here
    option_ = option;
}

void AnswerWindows::asked(std::int64_t ms) {
    askedAt_ = ms;
    endsAt_ = option_ == kConstant ? -1 : ms + kAnswerMs[option_] + kLastCycleMs;
}

bool AnswerWindows::answers(std::int64_t ms) const {
    return askedAt_ >= 0 && ms >= askedAt_ && (endsAt_ < 0 || ms <= endsAt_);
}

} // namespace kestle::review
