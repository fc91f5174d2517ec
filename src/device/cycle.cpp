// SPDX-License-Identifier: GPL-3.0-or-later
// The acquisition cycle and the phoneme run controls.
#include "device/acquisition.h"
#include "support/convert.h"

namespace kestle::device {

void Acquisition::speechtimer_Timer() {
    // A tick that finds the previous cycle still running is skipped, and so
    // is one that finds another sender (the time-slice step) waiting: the
    // waiter serves one coroutine at a time.
    if (cycleRunning() || st_.state != 0 || waiter_.waiting())
        return;
    cycle_ = cycle();
    cycle_.start();
}

Task Acquisition::cycle() {
    bool ok = co_await cycleSteps();
    if (!ok) {
        noAnswer();
    } else if (noAnswerShown_) {
        noAnswerShown_ = false;
        host_.status("");
    }
    co_return ok;
}

Task Acquisition::cycleSteps() {
    st_.state = 1;
    if (const bool ok = co_await get_data(); !ok)
        co_return false;
    st_.state = 1;
    if (f_.ITC3->checked() || !f_.HSPh->checked()) {
        if (const bool ok = co_await getemf(); !ok)
            co_return false;
        st_.state = 1;
    }
    if (const bool ok = co_await updscope(); !ok)
        co_return false;
    if (const bool ok = co_await updscope(); !ok)
        co_return false;
    st_.state = 1;
    if (!f_.HSPh->checked()) {
        if (const bool ok = co_await getnemf(); !ok)
            co_return false;
    }
    st_.state = 1;
    if (const bool ok = co_await get_data(); !ok)
        co_return false;
    if (f_.av7->checked()) {
        st_.state = 1;
        if (stages.imageQaCapture)
            stages.imageQaCapture();
        st_.state = 0;
    }
    st_.state = 0;
    co_return true;
}

void Acquisition::Command2_Click() {
    if (f_.Command2->text() == "PHONEME START") {
        f_.htime->setEnabled(true);
        f_.Command2->setText("PHONEME STOP");
        forms::menuoff(f_);
    } else {
        f_.Command2->setText("PHONEME START");
        f_.htime->setEnabled(false);
        forms::menuon(f_);
    }
}

void Acquisition::Slider2_Change() {
    f_.htime->setInterval(f_.Slider2->value());
    f_.Text1->setText(numText(f_.Slider2->value()));
}

} // namespace kestle::device
