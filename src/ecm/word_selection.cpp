// SPDX-License-Identifier: GPL-3.0-or-later
// The word step of get_data: the position from the level, the level
// history, the display text, fword and the speech with its waits.
#include "ecm/word_engine.h"
#include "support/convert.h"
#include "support/text.h"

#include <cstdint>

namespace kestle::ecm {

namespace {

constexpr int kVoltageMode = 0;
constexpr int kFrequencyMode = 1;
constexpr int kEmfMode = 2;

bool hasSentenceMark(const std::string& w) {
    return w.find_first_of(".?!,") != std::string::npos;
}

} // namespace

device::Task WordEngine::wordStage() {
    lastWord_.clear();
    const forms::Control* modes[3] = {f_.ITC1, f_.ITC2, f_.ITC3};
    for (int mode = kVoltageMode; mode <= kEmfMode; ++mode) {
        if (modes[mode]->checked()) {
            const bool ok = co_await wordStep(mode);
            (void)ok;
        }
        co_await acq_.waiter().turn();
    }
    co_return true;
}

device::Task WordEngine::wordStep(int mode) {
    if (st_.nochange.value_or(0) != 0 || st_.rfhit.value_or(0) != 0)
        co_return true;

    // Frequency sums can exceed 16 bits; such a position, like any other
    // beyond the list, keeps the previous selection.
    std::int32_t p = 0;
    if (mode == kVoltageMode)
        p = roundToInt16(st_.ava1 + st_.avb1).value_or(-1);
    else if (mode == kFrequencyMode)
        p = roundToInt32(st_.frequencya.value_or(0) + st_.frequencyb.value_or(0));
    else
        p = st_.mag;

    st_.history[static_cast<std::size_t>(st_.historyPos)] = p;
    ++st_.historyPos;
    if (st_.historyPos >= st_.repeat_word + 1 || st_.historyPos > 100)
        st_.historyPos = 0;

    if (p >= 0 && p < f_.List1->count())
        f_.List1->select(p);
    std::string word = f_.List1->text();

    st_.done_talk = 1;
    lastWord_ = word;
    if (onWordChosen)
        onWordChosen(mode, p, word);
    if (hasSentenceMark(word)) {
        word += "\r\n";
        st_.done_talk = 2;
    }

    if (!f_.phoneon->checked()) {
        f_.main_display->appendText(word);
        f_.veiwlog->appendText(word);
        if (f_.speechON->checked()) {
            speak(1, word);
            co_await acq_.dtimer(kWaitAfterWord);
        } else {
            quiet(1);
        }
        co_return true;
    }

    st_.fword += word;
    const std::size_t length = utf8Length(st_.fword);
    if (f_.phbrake->checked()) {
        if (length > kPieceLength || st_.done_talk == 2) {
            const bool ok = co_await outputFword(kWaitAfterPiece, true);
            (void)ok;
        }
    } else if (length > kStringLength || st_.done_talk == 2) {
        const bool ok = co_await outputFword(kWaitAfterString, false);
        (void)ok;
    }
    co_return true;
}

device::Task WordEngine::outputFword(int wait, bool quietWhenOff) {
    st_.fword += " ";
    f_.main_display->appendText(st_.fword);
    f_.veiwlog->appendText(st_.fword);
    if (f_.speechON->checked()) {
        speak(1, st_.fword);
        co_await acq_.dtimer(wait);
    } else if (quietWhenOff) {
        quiet(1);
    }
    st_.fword.clear();
    co_return true;
}

} // namespace kestle::ecm
