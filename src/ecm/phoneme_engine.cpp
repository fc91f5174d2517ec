// SPDX-License-Identifier: GPL-3.0-or-later
// The phoneme menu items, the time-slice layout and the time-slice step.
#include "device/decode.h"
#include "ecm/word_engine.h"

#include <array>
#include <cstdint>

namespace kestle::ecm {

void WordEngine::phbrake_Click() {
    f_.phbrake->setChecked(!f_.phbrake->checked());
}

void WordEngine::resetVoiceBoxes() {
    for (std::size_t i = 0; i < f_.Check1.size(); ++i)
        f_.Check1[i]->setValue(i == 0 ? 1 : 0);
}

void WordEngine::showReadingPanels(bool show) {
    for (forms::Control* c : {f_.Frame3, f_.Frame4, f_.Frame1, f_.Frame8})
        c->setVisible(show);
}

void WordEngine::HSPh_Click() {
    if (f_.HSPh->checked()) {
        f_.HSPh->setChecked(false);
        return;
    }
    f_.HSPh->setChecked(true);
    f_.tsphone->setChecked(false);
    f_.rsphone->setChecked(false);
    f_.htime->setEnabled(false);
    for (forms::Control* c : f_.Check1)
        c->setVisible(false);
    resetVoiceBoxes();
    showReadingPanels(true);
    f_.Frame9->setVisible(false);
}

void WordEngine::timeSlice(forms::Control* own, forms::Control* other) {
    if (own->checked()) {
        leaveTimeSlice(own);
        return;
    }
    f_.asktimer->setEnabled(false);
    f_.speechtimer->setEnabled(false);
    own->setChecked(true);
    f_.Frame9->setVisible(true);
    for (forms::Control* c : f_.Check1)
        c->setVisible(true);
    other->setChecked(false);
    f_.HSPh->setChecked(false);
    showReadingPanels(false);
}

void WordEngine::leaveTimeSlice(forms::Control* own) {
    own->setChecked(false);
    f_.htime->setEnabled(false);
    f_.Frame9->setVisible(false);
    for (forms::Control* c : f_.Check1)
        c->setVisible(false);
    resetVoiceBoxes();
    showReadingPanels(true);
}

void WordEngine::tsphone_Click() {
    timeSlice(f_.tsphone, f_.rsphone);
}
void WordEngine::rsphone_Click() {
    timeSlice(f_.rsphone, f_.tsphone);
}

void WordEngine::htime_Tick() {
    // One step at a time, and never while a cycle holds the link: both use
    // the acquisition's single waiter.
    if (phonemeRunning() || acq_.waiter().waiting())
        return;
    step_ = phoneme();
    step_.start();
}

device::Task WordEngine::phoneme() {
    device::Waiter& w = acq_.waiter();
    std::array<std::int32_t, 4> v{};
    if (f_.rsphone->checked()) {
        for (auto& x : v) {
            const double r = rnd_.next();
            x = static_cast<std::int32_t>(f_.List1->count() * r + 1);
        }
        co_await acq_.dtimer(kRandomSliceWait);
    } else {
        if (const bool ok = co_await acq_.exchange('>', true); !ok) {
            // Without an answer there are no new values; the voices stay quiet.
            if (!noAnswerShown_)
                host_.status(device::kNoAnswerText);
            noAnswerShown_ = true;
            co_return false;
        }
        if (noAnswerShown_)
            host_.status("");
        noAnswerShown_ = false;
        // Taken at once: a later read notification must not mix in.
        const auto in = st_.inbuf;
        v = {device::word(in[1], in[2]), device::word(in[3], in[4]), device::word(in[5], in[6]),
             device::word(in[7], in[8])};
    }
    co_await w.turn();

    const std::array<std::int32_t*, 4> previous = {&st_.ch1, &st_.ch2, &st_.ch3, &st_.ch4};
    for (std::size_t i = 0; i < 4; ++i) {
        if (f_.Check1[i]->value() == 1 && v[i] != *previous[i]) {
            // A value beyond the list keeps the selection, so the entry
            // selected before is spoken again.
            if (v[i] >= 0 && v[i] < f_.List1->count())
                f_.List1->select(v[i]);
            speak(static_cast<int>(i) + 1, f_.List1->text());
        }
        co_await w.turn();
    }
    co_await w.turn();
    for (std::size_t i = 0; i < 4; ++i)
        *previous[i] = v[i];
    co_return true;
}

} // namespace kestle::ecm
