// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine_fixture.h"

#include <algorithm>

namespace kestle::ecm {
namespace {

using testing::EngineTest;
using V = std::vector<std::string>;

constexpr const char* kVoiceTrace = "> 00 05 00 06 00 09 00 01\n"
                                    "> 00 05 00 05 00 09 00 09\n"
                                    "> FF FE 00 05 00 09 00 09\n";

class TimeSlice : public EngineTest {
  protected:
    TimeSlice() : EngineTest(kVoiceTrace) {
        f.phoneon->click(); // the phoneme table: 5 "tw", 6 ",", 9 "mo", 1 "ca"
        connect();
    }
    void tickAllVoices() {
        for (auto* c : f.Check1)
            c->setValue(1);
    }
    void tick() {
        engine->htime_Tick();
        while (engine->phonemeRunning() && sched.runOne()) {
        }
        EXPECT_FALSE(engine->phonemeRunning());
    }
    std::array<std::int32_t, 4> ch() const { return {st.ch1, st.ch2, st.ch3, st.ch4}; }
};

TEST_F(TimeSlice, OnlyVoicesWhoseValueChangedSpeak) {
    tickAllVoices();
    tick();
    EXPECT_EQ(speech.calls, (V{"1 tw", "2 ,", "3 mo", "4 ca"}));
    speech.calls.clear();
    tick(); // 5, 5, 9, 9 after 5, 6, 9, 1
    EXPECT_EQ(speech.calls, (V{"2 tw", "4 mo"}));
    EXPECT_EQ(ch(), (std::array<std::int32_t, 4>{5, 5, 9, 9}));
    EXPECT_EQ(f.main_display->text(), ""); // speech only
}

TEST_F(TimeSlice, DeviceValuesAreUnsignedAndBeyondTheListRepeatTheSelection) {
    tickAllVoices();
    tick();
    tick();
    speech.calls.clear();
    tick();
    EXPECT_EQ(st.ch1, 65534);
    // Voice 4 selected position 9 last; 65534 is past the list.
    EXPECT_EQ(speech.calls, (V{"1 mo"}));
    EXPECT_EQ(f.List1->selected(), 9);
}

TEST_F(TimeSlice, UntickedVoicesStaySilent) {
    tick();
    EXPECT_EQ(speech.calls, (V{"1 tw"}));
    // The values are remembered for every voice, ticked or not.
    EXPECT_EQ(ch(), (std::array<std::int32_t, 4>{5, 6, 9, 1}));
}

TEST_F(TimeSlice, TickWhileTheLinkIsBusyStartsNothing) {
    tickAllVoices();
    engine->htime_Tick();
    ASSERT_TRUE(engine->phonemeRunning());
    engine->htime_Tick(); // the step in flight is neither restarted nor doubled
    while (engine->phonemeRunning() && sched.runOne()) {
    }
    EXPECT_EQ(speech.calls.size(), 4u);

    device::Task cycleStep = acq->exchange('=', false);
    cycleStep.start();
    ASSERT_TRUE(acq->waiter().waiting());
    engine->htime_Tick();
    EXPECT_FALSE(engine->phonemeRunning());
    acq->waiter().cancel();

    speech.calls.clear();
    tick(); // still the second answer of the trace
    EXPECT_EQ(speech.calls, (V{"2 tw", "4 mo"}));
}

TEST_F(TimeSlice, MissingAnswerKeepsTheVoicesQuietAndIsShownOnce) {
    link->unplug();
    sched.advance(1);
    host.lines.clear();
    tick();
    tick();
    EXPECT_TRUE(speech.calls.empty());
    EXPECT_EQ(host.lines, (V{"STATUS The Kestle did not answer"}));
    EXPECT_EQ(ch(), (std::array<std::int32_t, 4>{0, 0, 0, 0}));
    link->plug();
    sched.advance(1);
    host.lines.clear();
    tick(); // the unit is back: the status line is cleared and the voice speaks
    EXPECT_EQ(host.lines, (V{"STATUS "}));
    EXPECT_EQ(speech.calls, (V{"1 tw"}));
}

TEST_F(TimeSlice, RandomModeNeverDrawsPositionZero) {
    f.rsphone->click();
    f.List1->clear();
    for (const char* e : {"a ", "b ", "c "})
        f.List1->addItem(e);
    tickAllVoices();
    int repeats = 0;
    for (int i = 0; i < 60; ++i) {
        const Rnd before = rnd;
        const Millis start = sched.nowMs();
        tick();
        EXPECT_GE(sched.nowMs() - start, 20); // dtimer 200
        Rnd four = before;
        for (int k = 0; k < 4; ++k)
            four.next();
        EXPECT_EQ(rnd.state(), four.state()); // four draws per tick
        const auto values = ch();
        for (std::int32_t v : values) {
            EXPECT_GE(v, 1);
            EXPECT_LE(v, 3);
        }
        repeats += static_cast<int>(std::count(values.begin(), values.end(), 3));
    }
    EXPECT_GT(repeats, 0); // the value 3 came up and selected nothing
    for (const auto& c : speech.calls)
        EXPECT_NE(c.substr(2), "a ") << c;
}

TEST_F(TimeSlice, TimerTicksRunStepsUntilStopped) {
    f.tsphone->click();
    f.Command2->click();
    ASSERT_TRUE(f.htime->enabled());
    sched.advance(f.htime->interval());
    sched.advance(5);
    EXPECT_EQ(speech.calls, (V{"1 tw"}));
    f.speechON->click(); // switching speech on stops the run
    EXPECT_FALSE(f.htime->enabled());
}

class PhonemeMenus : public EngineTest {
  protected:
    void expectReadingPanels(bool shown) {
        for (auto* c : {f.Frame3, f.Frame4, f.Frame1, f.Frame8})
            EXPECT_EQ(c->visible(), shown) << c->name();
    }
    void expectVoiceBoxesReset() {
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_FALSE(f.Check1[i]->visible());
            EXPECT_EQ(f.Check1[i]->value(), i == 0 ? 1 : 0);
        }
    }
    int checkedCount() const {
        return f.HSPh->checked() + f.tsphone->checked() + f.rsphone->checked();
    }
};

TEST_F(PhonemeMenus, PhonemeBreaksToggles) {
    ASSERT_TRUE(f.phbrake->checked());
    f.phbrake->click();
    EXPECT_FALSE(f.phbrake->checked());
    f.phbrake->click();
    EXPECT_TRUE(f.phbrake->checked());
}

TEST_F(PhonemeMenus, TimeSliceLayoutOnAndOff) {
    for (bool random : {false, true}) {
        forms::Control* own = random ? f.rsphone : f.tsphone;
        forms::Control* other = random ? f.tsphone : f.rsphone;
        other->setChecked(true);
        f.HSPh->setChecked(true);
        f.speechtimer->setEnabled(true);
        f.asktimer->setEnabled(true);
        own->click();
        EXPECT_TRUE(own->checked());
        EXPECT_FALSE(other->checked());
        EXPECT_FALSE(f.HSPh->checked());
        EXPECT_FALSE(f.speechtimer->enabled());
        EXPECT_FALSE(f.asktimer->enabled());
        EXPECT_TRUE(f.Frame9->visible());
        for (auto* c : f.Check1)
            EXPECT_TRUE(c->visible());
        expectReadingPanels(false);

        f.Check1[2]->setValue(1);
        f.htime->setEnabled(true);
        own->click();
        EXPECT_FALSE(own->checked());
        EXPECT_FALSE(f.htime->enabled());
        EXPECT_FALSE(f.Frame9->visible());
        expectVoiceBoxesReset();
        expectReadingPanels(true);
        // Leaving the layout does not restart the cycle.
        EXPECT_FALSE(f.speechtimer->enabled());
    }
}

TEST_F(PhonemeMenus, HighSpeedPhonemeLeavesTheTimeSliceLayout) {
    f.rsphone->click();
    f.Check1[3]->setValue(1);
    f.htime->setEnabled(true);
    f.HSPh->click();
    EXPECT_TRUE(f.HSPh->checked());
    EXPECT_EQ(checkedCount(), 1);
    EXPECT_FALSE(f.htime->enabled());
    EXPECT_FALSE(f.Frame9->visible());
    expectVoiceBoxesReset();
    expectReadingPanels(true);

    f.Frame3->setVisible(false);
    f.HSPh->click(); // off: nothing else changes
    EXPECT_FALSE(f.HSPh->checked());
    EXPECT_FALSE(f.Frame3->visible());
}

TEST_F(PhonemeMenus, AtMostOneOfTheThreeIsChecked) {
    forms::Control* items[] = {f.HSPh, f.tsphone, f.rsphone};
    for (int i = 0; i < 30; ++i) {
        items[(i * 7 + i / 3) % 3]->click();
        EXPECT_LE(checkedCount(), 1) << i;
    }
}

} // namespace
} // namespace kestle::ecm
