// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/qa_session.h"

namespace kestle::ecm {

QaSession::QaSession(forms::MainForm& f, forms::MainState& st, forms::UiHost& host,
                     capture::AudioControl& audio)
    : f_(f), st_(st), host_(host), audio_(audio) {
    for (int i = 0; i < 8; ++i)
        f_.Option1[static_cast<std::size_t>(i)]->onClick = [this, i] { Option1_Click(i); };
    f_.question->onChange = [this] { question_Change(); };
    f_.asktimer->onTick = [this] { asktimer_Timer(); };
    f_.cancel->onClick = [this] { cancel_Click(); };
}

void QaSession::Option1_Click(int index) {
    if (index >= 0 && index < 7) {
        f_.asktimer->setInterval(kAnswerTimesMs[index]);
        f_.speechtimer->setEnabled(false);
    } else if (index == 7) {
        f_.speechtimer->setEnabled(true);
        forms::menuoff(f_);
        if (f_.av4->checked()) {
            audio_.start();
            f_.setCaption("Audio Recording On");
        }
    }
    f_.question->setEnabled(true);
    host_.focus("question");
}

void QaSession::question_Change() {
    const std::string q = f_.question->text();
    if (q.find("\r\n") == std::string::npos)
        return;
    f_.main_display->appendText("\r\nUser: " + q);
    f_.veiwlog->appendText("\r\nUser: " + q);
    if (onQuestion)
        onQuestion(q);
    if (f_.logfileon->checked() && writeQuestionLine)
        writeQuestionLine(q);
    f_.question->setText("");
    if (!f_.Option1[7]->checked()) {
        f_.question->setColor(forms::kBlack);
        f_.question->setEnabled(false);
        st_.done_talk = 0;
        f_.speechtimer->setEnabled(true);
        f_.asktimer->setEnabled(true);
        forms::menuoff(f_);
        if (f_.av4->checked())
            audio_.resume();
    }
}

void QaSession::asktimer_Timer() {
    f_.speechtimer->setEnabled(false);
    f_.question->setColor(forms::kSilver);
    f_.asktimer->setEnabled(false);
    if (st_.done_talk == 1) {
        f_.main_display->appendText("\r\n");
        f_.veiwlog->appendText("\r\n");
    } else if (st_.done_talk == 0) {
        f_.main_display->appendText("** No response** \r\n");
        f_.veiwlog->appendText("** No response** \r\n");
    }
    f_.question->setEnabled(true);
    forms::menuon(f_);
    host_.focus("question");
    if (f_.av4->checked())
        audio_.pause();
}

void QaSession::cancel_Click() {
    f_.speechtimer->setEnabled(false);
    forms::menuon(f_);
    f_.Option1[7]->setChecked(false);
    f_.Option1[1]->click();
    if (f_.av4->checked()) {
        audio_.pause();
        f_.setCaption("Audio Recording Paused");
    }
}

} // namespace kestle::ecm
