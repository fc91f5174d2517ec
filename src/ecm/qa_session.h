// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The question-and-answer session: the question box, the answer times, the
// end of an answer window and constant mode. Window thread only.
#include "capture/capture_controls.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/ui_host.h"

#include <functional>
#include <string>

namespace kestle::ecm {

// Answer time of each option of Option1, in ms; 0 for " Constant".
inline constexpr int kAnswerTimesMs[8] = {3000, 5000, 10000, 15000, 25000, 45000, 60000, 0};

class QaSession {
  public:
    QaSession(forms::MainForm& f, forms::MainState& st, forms::UiHost& host,
              capture::AudioControl& audio);

    // Writes the question line to the data log while "Data Log On" is checked.
    std::function<void(const std::string& question)> writeQuestionLine;
    // Told of every question asked, logged or not.
    std::function<void(const std::string& question)> onQuestion;

    void Option1_Click(int index);
    void question_Change();
    void asktimer_Timer();
    void cancel_Click();

  private:
    forms::MainForm& f_;
    forms::MainState& st_;
    forms::UiHost& host_;
    capture::AudioControl& audio_;
};

} // namespace kestle::ecm
