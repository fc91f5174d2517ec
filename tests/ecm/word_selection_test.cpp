// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/phoneme_table.h"
#include "engine_fixture.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kestle::ecm {
namespace {

using testing::EngineTest;
using V = std::vector<std::string>;

class WordStep : public EngineTest {
  protected:
    WordStep() { engine->loadlist(); }
};

TEST_F(WordStep, VoltageLevelsGiveTheirPositionCountedFromZero) {
    voltageWord(4, 10);
    EXPECT_EQ(f.main_display->text(), "soldier ");
    EXPECT_EQ(f.veiwlog->text(), "soldier ");
    EXPECT_EQ(f.List1->selected(), 14);
    EXPECT_EQ(engine->lastWord(), "soldier ");
    EXPECT_EQ(st.done_talk, 1);
    EXPECT_EQ(st.history[0], 14);
    EXPECT_EQ(st.historyPos, 1);

    voltageWord(6, 6);
    EXPECT_EQ(f.main_display->text(), "soldier kid ");
    EXPECT_EQ(st.history[1], 12);
    // Speech off: member 36 instead of Speak, once per word.
    EXPECT_EQ(speech.calls, (V{"quiet 1", "quiet 1"}));
}

TEST_F(WordStep, VoltagePositionRoundsHalfToEven) {
    voltageWord(6.5, 6); // 12.5
    voltageWord(7, 6.5); // 13.5
    EXPECT_EQ(st.history[0], 12);
    EXPECT_EQ(st.history[1], 14);
    // The highest voltage position is 2048; "an " at 2049 is out of reach.
    voltageWord(1024, 1024);
    EXPECT_EQ(engine->lastWord(), "tree ");
}

TEST_F(WordStep, ClosedGateOrRfHitProducesNothing) {
    st.ava1 = 4;
    st.avb1 = 10;
    st.nochange = 1;
    st.rfhit = 0;
    run(engine->wordStage());
    st.nochange = 0;
    st.rfhit = 2;
    run(engine->wordStage());
    EXPECT_EQ(f.main_display->text(), "");
    EXPECT_EQ(st.historyPos, 0);
    EXPECT_EQ(st.history[0], 0);
    EXPECT_EQ(f.List1->selected(), -1);
    EXPECT_EQ(engine->lastWord(), "");
    EXPECT_TRUE(speech.calls.empty());
}

TEST_F(WordStep, SentenceMarksEndTheLine) {
    voltageWord(3, 10); // "."
    EXPECT_EQ(f.main_display->text(), ".\r\n");
    EXPECT_EQ(f.veiwlog->text(), ".\r\n");
    EXPECT_EQ(st.done_talk, 2);
    EXPECT_EQ(engine->lastWord(), ".");
    voltageWord(5, 10); // "? "
    EXPECT_EQ(f.main_display->text(), ".\r\n? \r\n");
    voltageWord(4, 10); // no mark: done_talk back to 1
    EXPECT_EQ(st.done_talk, 1);
    // A later stage without a word leaves no word for the log.
    st.nochange = 1;
    run(engine->wordStage());
    EXPECT_EQ(engine->lastWord(), "");
}

TEST_F(WordStep, HistoryWrapsAfterRepeatWordPlusOne) {
    for (int i = 0; i < 11; ++i)
        voltageWord(100 + i, 100);
    EXPECT_EQ(st.historyPos, 0);
    EXPECT_EQ(st.history[10], 210);
    voltageWord(50, 50);
    EXPECT_EQ(st.history[0], 100);
    EXPECT_EQ(st.historyPos, 1);
}

TEST_F(WordStep, PositionBeyondTheListKeepsThePreviousSelectionInEveryMode) {
    f.List1->clear();
    for (const char* e : {"a ", "b ", "c "})
        f.List1->addItem(e);
    // Nothing was ever selected: the empty text.
    voltageWord(7, 7);
    EXPECT_EQ(f.main_display->text(), "");
    EXPECT_EQ(st.history[0], 14);

    voltageWord(1, 0);
    EXPECT_EQ(f.main_display->text(), "b ");

    f.ITC1->setChecked(false);
    f.ITC2->setChecked(true);
    st.frequencya = 40000; // the sum does not fit 16 bits
    st.frequencyb = 30000;
    run(engine->wordStage());
    EXPECT_EQ(st.history[2], 70000);

    f.ITC2->setChecked(false);
    f.ITC3->setChecked(true);
    st.mag = 3;
    run(engine->wordStage());
    EXPECT_EQ(f.main_display->text(), "b b b ");
    EXPECT_EQ(f.List1->selected(), 1);
    EXPECT_EQ(st.history[3], 3);
}

TEST_F(WordStep, EachCheckedModeTakesItsTurnInOrder) {
    f.ITC2->setChecked(true);
    f.ITC3->setChecked(true);
    st.ava1 = 4;
    st.avb1 = 10;
    st.frequencya = 6;
    st.frequencyb = 6;
    st.mag = 1;
    st.nochange = 0;
    st.rfhit = 0;
    run(engine->wordStage());
    EXPECT_EQ(f.main_display->text(), "soldier kid chance ");
    EXPECT_EQ(engine->lastWord(), "chance ");
}

TEST_F(WordStep, SpokenWordIsFollowedByItsWait) {
    f.speechON->setChecked(true);
    const Millis before = sched.nowMs();
    voltageWord(4, 10);
    EXPECT_EQ(speech.calls, (V{"1 soldier "}));
    // dtimer 500 at 0.1 ms per unit.
    EXPECT_EQ(sched.nowMs() - before, 50);
    voltageWord(3, 10);
    EXPECT_EQ(speech.calls.back(), "1 .\r\n");
}

TEST_F(WordStep, FailingSpeechNeverStopsWordsAndIsShownOnce) {
    f.speechON->setChecked(true);
    speech.error = "Speech engine unavailable: no voices";
    voltageWord(4, 10);
    voltageWord(6, 6);
    EXPECT_EQ(f.main_display->text(), "soldier kid ");
    EXPECT_EQ(host.lines, (V{"STATUS Speech engine unavailable: no voices"}));
}

class PhonemeString : public EngineTest {
  protected:
    PhonemeString() {
        f.phoneon->setChecked(true);
        std::vector<std::string> phones;
        loadphone(phones);
        for (auto& p : phones)
            f.List1->addItem(p);
    }
};

TEST_F(PhonemeString, BreaksOnOutputsPiecesLongerThanFourCharacters) {
    ASSERT_TRUE(f.phbrake->checked());
    voltageWord(1, 1); // "hi"
    voltageWord(2, 1); // "lt"
    EXPECT_EQ(st.fword, "hilt");
    EXPECT_EQ(f.main_display->text(), "");
    EXPECT_TRUE(speech.calls.empty());
    voltageWord(10, 5); // "o"
    EXPECT_EQ(f.main_display->text(), "hilto ");
    EXPECT_EQ(f.veiwlog->text(), "hilto ");
    EXPECT_EQ(st.fword, "");
    EXPECT_EQ(speech.calls, (V{"quiet 1"}));

    f.speechON->setChecked(true);
    const Millis before = sched.nowMs();
    voltageWord(20, 13);  // "sr": not yet
    voltageWord(100, 34); // "ing"
    EXPECT_EQ(speech.calls.back(), "1 sring ");
    EXPECT_EQ(sched.nowMs() - before, 60);
}

TEST_F(PhonemeString, BreaksOffGathersBeyondFortyOrUntilASentenceMark) {
    f.phbrake->setChecked(false);
    for (int i = 0; i < 20; ++i)
        voltageWord(1, 1); // "hi" 20 times: 40 characters
    EXPECT_EQ(f.main_display->text(), "");
    voltageWord(2, 1);
    std::string forty;
    for (int i = 0; i < 20; ++i)
        forty += "hi";
    EXPECT_EQ(f.main_display->text(), forty + "lt ");
    // Speech off with breaks off: nothing is called at all.
    EXPECT_TRUE(speech.calls.empty());

    voltageWord(1, 1);
    voltageWord(10, 7); // "."
    EXPECT_EQ(st.done_talk, 2);
    EXPECT_TRUE(f.main_display->text().ends_with("lt hi.\r\n "));
    EXPECT_EQ(st.fword, "");

    f.speechON->setChecked(true);
    const Millis before = sched.nowMs();
    voltageWord(10, 7);
    EXPECT_EQ(speech.calls, (V{"1 .\r\n "}));
    EXPECT_EQ(sched.nowMs() - before, 150);
}

TEST_F(PhonemeString, PartialStringSurvivesPhonemesOff) {
    voltageWord(1, 1); // "hi"
    f.phoneon->setChecked(false);
    voltageWord(1, 1); // a plain word now: "hi" from the list as it stands
    EXPECT_EQ(f.main_display->text(), "hi");
    EXPECT_EQ(st.fword, "hi");
    f.phoneon->setChecked(true);
    voltageWord(2, 1);
    voltageWord(10, 5);
    EXPECT_EQ(f.main_display->text(), "hihilto ");
}

// Frequency levels through get_data, so the change gate and the word step
// meet as they do in a cycle.
std::string frequencyTrace(const std::vector<int>& levels) {
    std::string t;
    char line[40];
    for (int l : levels) {
        const int a = l - 100; // channel B stays at 100 Hz
        std::snprintf(line, sizeof line, "> 00 00 00 00 %02X %02X 00 64\n", a >> 8, a & 255);
        t += line;
    }
    return t;
}

std::vector<int> gateLevels() {
    // Alternating far below and far above the smoothed threshold.
    std::vector<int> l;
    for (int k = 1; k <= 11; ++k)
        l.push_back(k % 2 ? 200 + k : 1800 + k);
    l.push_back(201);  // the first position again, eleven words later
    l.push_back(1900); // a twelfth word pushes it out of the history
    l.push_back(201);
    return l;
}

class FrequencyGate : public EngineTest {
  protected:
    FrequencyGate() : EngineTest(frequencyTrace(gateLevels())) {
        engine->loadlist();
        f.ITC1->setChecked(false);
        f.ITC2->setChecked(true);
        st.ava1 = 100;
        st.avb1 = 100;
        connect();
    }
};

TEST_F(FrequencyGate, APositionStaysBlockedForTheNextElevenWords) {
    const auto levels = gateLevels();
    std::vector<int> chosen;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::string before = f.main_display->text();
        ASSERT_TRUE(run(acq->get_data()));
        if (f.main_display->text() != before)
            chosen.push_back(f.List1->selected());
    }
    std::vector<int> expected(levels.begin(), levels.begin() + 11);
    expected.push_back(1900);
    expected.push_back(201);
    EXPECT_EQ(chosen, expected);
}

TEST_F(FrequencyGate, RfHitBlocksTheWordAndKeepsTheHistory) {
    f.lowhz1->setChecked(true); // 60 to 120 Hz holds both channels (101 and 100 Hz)
    ASSERT_TRUE(run(acq->get_data()));
    EXPECT_EQ(st.nochange, 0);
    EXPECT_EQ(st.rfhit, 3);
    EXPECT_EQ(f.main_display->text(), "");
    EXPECT_EQ(st.historyPos, 0);
    EXPECT_EQ(st.history[0], 0);
}

} // namespace
} // namespace kestle::ecm
