// SPDX-License-Identifier: GPL-3.0-or-later
// get_data: the reading request, its decode and displays, the change gate,
// threshold and trend, the later stages, and the paging of the screen texts.
#include "device/acquisition.h"
#include "device/decode.h"
#include "support/convert.h"
#include "support/text.h"

namespace kestle::device {

bool Acquisition::changeGate(double level) const {
    if (level > st_.threshold + st_.offset || level < st_.threshold - st_.offset) {
        for (int i = 0; i <= st_.repeat_word && i < 101; ++i) {
            if (st_.history[static_cast<std::size_t>(i)] == level)
                return true; // a recent position: no new word
        }
        return false;
    }
    return true;
}

void Acquisition::thresholdAndTrend(double level, bool roundSum) {
    st_.threshold = roundSum ? roundToInt32(level) : static_cast<std::int32_t>(level);
    if (st_.oldthreshold < st_.threshold) {
        f_.TRENDDSP->setText("+");
        st_.trend = 2;
    } else if (st_.threshold < st_.oldthreshold) {
        f_.TRENDDSP->setText("-");
        st_.trend = 1;
    } else {
        f_.TRENDDSP->setText("=");
        st_.trend = 0;
    }
    st_.threshold = roundToInt32((static_cast<double>(st_.threshold) + st_.oldthreshold) / 2.0);
    st_.oldthreshold = st_.threshold;
    f_.tholddsp->setText(voltsText(st_.threshold * kVoltsPerHalfCount));
}

Task Acquisition::get_data() {
    st_.done_talk = 1;
    st_.frequencya.reset();
    st_.frequencyb.reset();
    st_.frequencyav.reset();
    st_.rfhit.reset();
    st_.nochange.reset();

    const bool skipExchange = f_.HSPh->checked() && f_.ITC3->checked();
    if (!skipExchange) {
        if (const bool ok = co_await exchange('>', true); !ok)
            co_return false;
        co_await waiter_.turn();
        if (st_.ava1 == 0 || st_.avb1 == 0) {
            st_.state = 0;
            co_return true;
        }
        const double fa = word(st_.inbuf[5], st_.inbuf[6]);
        const double fb = word(st_.inbuf[7], st_.inbuf[8]);
        st_.frequencya = fa;
        st_.frequencyb = fb;
        co_await waiter_.turn();
        if (fa == 0 || fb == 0) {
            st_.state = 0;
            co_return true;
        }
        std::array<bool, 11> ticked{};
        for (std::size_t i = 0; i < 11; ++i)
            ticked[i] = f_.bands[i]->checked();
        const int markA = inTickedBand(fa, ticked) ? 1 : 0;
        const int markB = inTickedBand(fb, ticked) ? 2 : 0;
        st_.rfhit = markA + markB;
        co_await waiter_.turn();
        f_.FREQA->setColor(markA == 1 ? forms::kRed : forms::kCyan);
        f_.FREQB->setColor(markB == 2 ? forms::kRed : forms::kCyan);
        st_.frequencyav = (fa + fb) / 2;
        f_.FREQA->setText(frequencyText(fa));
        f_.FREQB->setText(frequencyText(fb));
        f_.CHA_DSP->setText(voltsText(st_.ava1 * kVoltsPerCount));
        f_.CHB_DSP->setText(voltsText(st_.avb1 * kVoltsPerCount));
        if (f_.ITC1->checked())
            st_.nochange = changeGate(st_.ava1 + st_.avb1) ? 1 : 0;
        if (f_.ITC2->checked())
            st_.nochange = changeGate(fa + fb) ? 1 : 0;
    }
    if (f_.ITC3->checked())
        st_.nochange = changeGate(st_.mag) ? 1 : 0;

    if (f_.ITC1->checked())
        thresholdAndTrend(st_.ava1 + st_.avb1, true);
    if (f_.ITC2->checked())
        thresholdAndTrend(st_.frequencya.value_or(0) + st_.frequencyb.value_or(0), true);
    if (f_.ITC3->checked())
        thresholdAndTrend(st_.mag, false);

    if (stages.wordSelection) {
        Task words = stages.wordSelection();
        co_await words;
    }
    if (stages.logs)
        stages.logs();
    if (stages.alarms)
        stages.alarms();
    if (stages.captureOnAlarm)
        stages.captureOnAlarm();

    if (utf8Length(f_.alarmdisplay->text()) > 32000)
        f_.alarmdisplay->setText("");
    if (utf8Length(f_.veiwlog->text()) > 31000)
        f_.veiwlog->setText("");
    if (countCrLf(f_.main_display->text()) > 15) {
        if (stages.saveDisplay)
            stages.saveDisplay();
        f_.main_display->setText("");
    }
    co_await waiter_.turn();
    if (utf8Length(f_.main_display->text()) > 1400) {
        if (stages.saveDisplay)
            stages.saveDisplay();
        f_.main_display->setText("");
    }
    st_.state = 0;
    co_return true;
}

} // namespace kestle::device
