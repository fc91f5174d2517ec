// SPDX-License-Identifier: GPL-3.0-or-later
// ECM modes, RF bands, the change band, the phoneme run controls, the scope
// menu and the calibration prompts.
#include "acquisition_rig.h"

namespace kestle::device {
namespace {

using test::Rig;

struct Window : Rig {
    Window() : Rig(test::steadyTrace(100, 104, 266, 30)) {}
};

TEST(Modes, EachModeUnticksTheOthersAndStopsTheCycle) {
    Window w;
    auto ticks = [&w] {
        return std::string() + (w.f.ITC1->checked() ? '1' : '-') +
               (w.f.ITC2->checked() ? '2' : '-') + (w.f.ITC3->checked() ? '3' : '-') +
               (w.f.ITC4->checked() ? '4' : '-');
    };
    w.f.ITC4->setChecked(true); // never reachable, but a mode click clears it
    w.f.speechtimer->setEnabled(true);
    w.f.Option1[3]->click();
    w.acq.ITC2_Click();
    EXPECT_EQ(ticks(), "-2--");
    EXPECT_FALSE(w.f.speechtimer->enabled());
    EXPECT_TRUE(w.f.Option1[1]->checked());
    EXPECT_FALSE(w.f.Option1[3]->checked());
    w.acq.ITC3_Click();
    EXPECT_EQ(ticks(), "--3-");
    w.acq.ITC1_Click();
    EXPECT_EQ(ticks(), "1---");
}

TEST(Modes, ModeClickRestoresTheStandardLayoutAndTheMenus) {
    Window w;
    forms::menuoff(w.f);
    w.f.List1->setVisible(false);
    w.f.question->setVisible(false);
    w.f.cancel->setVisible(false);
    for (forms::Control* o : w.f.Option1)
        o->setVisible(false);
    w.f.Frame9->move(1920, 3960);
    w.acq.ITC2_Click();
    EXPECT_TRUE(w.f.List1->visible());
    EXPECT_TRUE(w.f.question->visible());
    EXPECT_TRUE(w.f.cancel->visible());
    EXPECT_TRUE(w.f.clear_main->visible());
    EXPECT_TRUE(w.f.Save_Main_display->visible());
    for (forms::Control* o : w.f.Option1)
        EXPECT_TRUE(o->visible());
    EXPECT_EQ(w.f.Frame9->top(), 5160);
    EXPECT_EQ(w.f.Frame9->left(), 1920);
    for (forms::Control* m : w.f.lockedMenus())
        EXPECT_TRUE(m->enabled()) << m->name();
    EXPECT_TRUE(w.f.lcontrol[0]->enabled());
}

TEST(Bands, TickingAddsTheBitAndUntickingSubtractsIt) {
    Window w;
    w.f.highhz2->click();
    EXPECT_TRUE(w.f.highhz2->checked());
    EXPECT_EQ(w.st.rfid, 6 + 512);
    w.f.highhz2->click();
    EXPECT_FALSE(w.f.highhz2->checked());
    EXPECT_EQ(w.st.rfid, 6);
}

TEST(Bands, TickAndUntickOfEveryBandLeavesTheMaskAsItWas) {
    Window w;
    int all = 0;
    for (int i = 0; i < 11; ++i) {
        w.f.bands[static_cast<std::size_t>(i)]->click();
        all += 1 << i;
        EXPECT_EQ(w.st.rfid, 6 + all) << i;
    }
    for (forms::Control* b : w.f.bands)
        b->click();
    EXPECT_EQ(w.st.rfid, 6);
}

TEST(Bands, ARestoredTickIsUntickedWithoutAddingItsBit) {
    Window w;
    w.f.lowhz->setChecked(true); // as the settings file leaves it
    w.f.lowhz->click();
    EXPECT_EQ(w.st.rfid, 6 - 2);
}

TEST(ChangeBand, OffsetFollowsTheSlider) {
    Window w;
    w.f.ofs->setValue(20);
    EXPECT_EQ(w.st.offset, 20);
    EXPECT_EQ(w.f.offsetdisp->text(), " 20");
    w.f.ofs->setValue(0); // below the range
    EXPECT_EQ(w.st.offset, 1);
    EXPECT_EQ(w.f.offsetdisp->text(), " 1");
}

TEST(PhonemeRun, StartThenStopRestoresCaptionTimerAndMenus) {
    Window w;
    int phonemes = 0;
    w.acq.stages.phoneme = [&] { ++phonemes; };
    w.f.Command2->click();
    EXPECT_EQ(w.f.Command2->text(), "PHONEME STOP");
    EXPECT_TRUE(w.f.htime->enabled());
    EXPECT_FALSE(w.f.Filemnu->enabled());
    w.sched.advance(100);
    EXPECT_EQ(phonemes, 2); // 35 ms apart
    w.f.Command2->click();
    EXPECT_EQ(w.f.Command2->text(), "PHONEME START");
    EXPECT_FALSE(w.f.htime->enabled());
    EXPECT_TRUE(w.f.Filemnu->enabled());
    w.sched.advance(1000);
    EXPECT_EQ(phonemes, 2);
}

TEST(PhonemeRun, SliderSetsTheTimerIntervalAndShowsIt) {
    Window w;
    std::vector<Millis> ticks;
    w.acq.stages.phoneme = [&] { ticks.push_back(w.sched.nowMs()); };
    w.f.Slider2->setValue(100);
    EXPECT_EQ(w.f.htime->interval(), 100);
    EXPECT_EQ(w.f.Text1->text(), " 100");
    const Millis t0 = w.sched.nowMs();
    w.f.Command2->click();
    w.sched.advance(350);
    EXPECT_EQ(ticks, (std::vector<Millis>{t0 + 100, t0 + 200, t0 + 300}));
}

TEST(Scope, TimeBaseItemsAreExclusiveAndTogglesInvert) {
    Window w;
    w.f.tb5->click();
    EXPECT_TRUE(w.f.tb5->checked());
    EXPECT_FALSE(w.f.tb100->checked());
    w.f.tb5->click();
    EXPECT_TRUE(w.f.tb5->checked());
    w.f.ShowA->click();
    w.f.TBon->click();
    EXPECT_TRUE(w.f.ShowA->checked());
    EXPECT_FALSE(w.f.TBon->checked());
}

TEST(Scope, ScopeOffKeepsTheLastDrawingButStillWorksOutTheLevels) {
    Rig r(5, 1); // the simulated Kestle: every burst differs
    r.tick();
    const auto drawn = r.acq.scopeLines();
    const auto traces = r.acq.traces().scopeab;
    ASSERT_FALSE(drawn.empty());
    r.f.TBon->click();
    r.tick();
    EXPECT_NE(r.acq.traces().scopeab, traces);
    EXPECT_EQ(r.acq.scopeLines(), drawn);
    r.f.TBon->click();
    r.tick();
    EXPECT_NE(r.acq.scopeLines(), drawn);
}

TEST(Calibration, TemperaturePromptRoundsHalfToEvenAndCancelGivesZero) {
    Window w;
    w.st.tcal = 3;
    w.host.answers = {std::string("2.5"), std::string("3.5"), std::nullopt, std::string("")};
    w.f.tempdisp->dblClick();
    EXPECT_EQ(w.host.lines.back(), "INPUTBOX Cal: Temperature Calibration [3]");
    EXPECT_EQ(w.st.tcal, 2);
    w.f.tempdisp->dblClick();
    EXPECT_EQ(w.st.tcal, 4);
    w.f.tempdisp->dblClick();
    EXPECT_EQ(w.st.tcal, 0);
    w.st.tcal = 9;
    w.f.tempdisp->dblClick();
    EXPECT_EQ(w.st.tcal, 0);
}

TEST(Calibration, FourAlignmentStepsCloseThePanelAtNorth) {
    Window w;
    w.f.emfdisp->dblClick();
    EXPECT_TRUE(w.f.calmag->visible());
    const char* captions[] = {"SOUTH", "EAST", "WEST", "NORTH"};
    for (const char* c : captions) {
        EXPECT_TRUE(w.f.calmag->visible());
        w.f.Command3->click();
        EXPECT_EQ(w.f.Command3->text(), c);
        EXPECT_EQ(w.f.cap1->text(), c);
    }
    EXPECT_FALSE(w.f.calmag->visible());
    EXPECT_EQ(w.f.Lab1->text(), "Align Kestle Facing North as Shown, Then Press North");
}

} // namespace
} // namespace kestle::device
