// SPDX-License-Identifier: GPL-3.0-or-later
// get_data on its own: decode, bands, displays, change gate, threshold and
// trend, the order of the later stages and the paging of the screen texts.
#include "acquisition_rig.h"

namespace kestle::device {
namespace {

using test::Rig;
using test::steadyTrace;

// A rig whose scope step left these channel levels.
struct Call : Rig {
    Call(int fa, int fb, double ava1 = 100, double avb1 = 100) : Rig(steadyTrace(0, 0, fa, fb)) {
        st.ava1 = ava1;
        st.avb1 = avb1;
    }
    bool getData() {
        st.state = 1;
        return run(acq.get_data());
    }
};

TEST(GetData, DecodesBothFrequenciesAndShowsThem) {
    Call c(266, 30);
    c.f.lowhz->setChecked(true);
    EXPECT_TRUE(c.getData());
    EXPECT_EQ(c.st.frequencya, 266);
    EXPECT_EQ(c.st.frequencyb, 30);
    EXPECT_EQ(c.st.frequencyav, 148);
    EXPECT_EQ(c.f.FREQA->text(), " 266 Hz");
    EXPECT_EQ(c.f.FREQB->text(), " 30 Hz");
    EXPECT_EQ(c.f.FREQA->color(), forms::kCyan);
    EXPECT_EQ(c.f.FREQB->color(), forms::kRed);
    EXPECT_EQ(c.st.rfhit, 2);
    EXPECT_EQ(c.f.CHA_DSP->text(), ".49 VDC");
    EXPECT_EQ(c.st.state, 0);
    EXPECT_EQ(c.link.sent, ">");
}

TEST(GetData, ASharedBoundCountsForTheLowerBandToo) {
    Call c(266, 30);
    c.f.subhz->setChecked(true);
    c.getData();
    EXPECT_EQ(c.st.rfhit, 2);
    c.f.subhz->setChecked(false);
    c.getData();
    EXPECT_EQ(c.st.rfhit, 0);
    EXPECT_EQ(c.f.FREQB->color(), forms::kCyan);
}

TEST(GetData, TheTopBandMarksEachChannelOnItsOwn) {
    Call both(25000, 30000);
    both.f.highHZ3->setChecked(true);
    both.getData();
    EXPECT_EQ(both.st.rfhit, 3);
    EXPECT_EQ(both.f.FREQA->text(), " 25KHz");
    EXPECT_EQ(both.f.FREQB->text(), " 30KHz");

    Call onlyB(266, 30000);
    onlyB.f.highHZ3->setChecked(true);
    onlyB.getData();
    EXPECT_EQ(onlyB.st.rfhit, 2);
    EXPECT_EQ(onlyB.f.FREQA->color(), forms::kCyan);
    EXPECT_EQ(onlyB.f.FREQB->color(), forms::kRed);
}

struct EarlyEnd : testing::TestWithParam<std::tuple<int, int, double, double>> {};

TEST_P(EarlyEnd, AZeroLevelOrFrequencyTouchesNothing) {
    auto [fa, fb, ava1, avb1] = GetParam();
    Call c(fa, fb, ava1, avb1);
    c.st.threshold = c.st.oldthreshold = 40;
    c.f.FREQA->setText("before");
    std::string full;
    for (int i = 0; i < 16; ++i)
        full += "w\r\n";
    c.f.main_display->setText(full);
    int stages = 0;
    c.acq.stages.logs = [&] { ++stages; };
    c.acq.stages.alarms = [&] { ++stages; };
    c.acq.stages.wordSelection = [&]() -> Task {
        ++stages;
        co_return true;
    };
    EXPECT_TRUE(c.getData());
    EXPECT_EQ(c.st.state, 0);
    EXPECT_EQ(c.st.done_talk, 1);
    EXPECT_EQ(c.f.FREQA->text(), "before");
    EXPECT_EQ(c.f.main_display->text(), full);
    EXPECT_EQ(c.f.CHA_DSP->text(), "");
    EXPECT_EQ(c.f.TRENDDSP->text(), "");
    EXPECT_EQ(c.st.threshold, 40);
    EXPECT_FALSE(c.st.rfhit.has_value());
    EXPECT_FALSE(c.st.nochange.has_value());
    EXPECT_EQ(stages, 0);
}

INSTANTIATE_TEST_SUITE_P(ZeroInputs, EarlyEnd,
                         testing::Values(std::make_tuple(266, 30, 0.0, 100.0),
                                         std::make_tuple(266, 30, 100.0, 0.0),
                                         std::make_tuple(0, 30, 100.0, 100.0),
                                         std::make_tuple(266, 0, 100.0, 100.0)));

TEST(GetData, TrendAndThresholdRoundHalfToEven) {
    struct Step {
        int level, old;
        const char* trend;
        int threshold;
    };
    for (const Step& s :
         {Step{101, 100, "+", 100}, Step{102, 100, "+", 101}, Step{99, 100, "-", 100},
          Step{97, 100, "-", 98}, Step{100, 100, "=", 100}}) {
        Call c(266, 30, 50, s.level - 50);
        c.st.threshold = c.st.oldthreshold = s.old;
        c.getData();
        EXPECT_EQ(c.f.TRENDDSP->text(), s.trend) << s.level;
        EXPECT_EQ(c.st.trend, s.trend[0] == '+' ? 2 : s.trend[0] == '-' ? 1 : 0);
        EXPECT_EQ(c.st.threshold, s.threshold) << s.level;
        EXPECT_EQ(c.st.oldthreshold, s.threshold);
    }
}

TEST(GetData, ThresholdVoltsUseTheHalfCountScale) {
    Call c(266, 30, 500, 520);
    for (int i = 0; i < 12; ++i)
        c.getData();
    EXPECT_EQ(c.st.threshold, 1020);
    EXPECT_EQ(c.f.tholddsp->text(), "2.49 VDC");
    EXPECT_EQ(c.f.TRENDDSP->text(), "=");
}

// The change gate with threshold 100 and the given offset.
std::optional<int> gate(int level, int offset, int historyAt = -1, int historyValue = 0) {
    Call c(266, 30, 50, level - 50);
    c.st.threshold = c.st.oldthreshold = 100;
    c.f.ofs->onChange = [&c] { c.acq.ofs_Change(); };
    c.f.ofs->setValue(offset);
    if (historyAt >= 0)
        c.st.history[static_cast<std::size_t>(historyAt)] = historyValue;
    c.getData();
    return c.st.nochange;
}

TEST(GetData, ChangeGateOpensOutsideTheOffsetBand) {
    EXPECT_EQ(gate(105, 5), 1);
    EXPECT_EQ(gate(106, 5), 0);
    EXPECT_EQ(gate(95, 5), 1);
    EXPECT_EQ(gate(94, 5), 0);
}

TEST(GetData, WiderOffsetWidensTheBand) {
    EXPECT_EQ(gate(120, 20), 1);
    EXPECT_EQ(gate(121, 20), 0);
    EXPECT_EQ(gate(80, 20), 1);
    EXPECT_EQ(gate(79, 20), 0);
}

TEST(GetData, ARecentWordPositionKeepsTheGateShut) {
    EXPECT_EQ(gate(130, 5, 0, 130), 1);
    EXPECT_EQ(gate(130, 5, 10, 130), 1);
    EXPECT_EQ(gate(130, 5, 11, 130), 0); // beyond repeat_word
    EXPECT_EQ(gate(130, 5, 3, 131), 0);
}

TEST(GetData, FrequencySumsBeyondSixteenBitsDoNotOverflow) {
    Call c(40000, 40000);
    c.f.ITC1->setChecked(false);
    c.f.ITC2->setChecked(true);
    c.getData();
    EXPECT_EQ(c.st.nochange, 0);
    EXPECT_EQ(c.st.threshold, 40000);
    EXPECT_EQ(c.f.tholddsp->text(), "97.66 VDC");
    c.getData();
    EXPECT_EQ(c.st.threshold, 60000);
    EXPECT_EQ(c.st.trend, 2);
}

TEST(GetData, EmfModeWithHighSpeedPhonemeUsesMagWithoutAnExchange) {
    Call c(266, 30);
    c.f.ITC1->setChecked(false);
    c.f.ITC3->setChecked(true);
    c.f.HSPh->setChecked(true);
    c.st.mag = 77;
    c.getData();
    EXPECT_EQ(c.link.sent, "");
    EXPECT_FALSE(c.st.frequencya.has_value());
    EXPECT_FALSE(c.st.rfhit.has_value());
    EXPECT_EQ(c.st.nochange, 0);
    EXPECT_EQ(c.st.threshold, 38); // 38.5 rounds to even
    EXPECT_EQ(c.f.FREQA->text(), "");
    EXPECT_EQ(c.st.state, 0);
}

TEST(GetData, NoModeTickedLeavesTheGateUnset) {
    Call c(266, 30);
    c.f.ITC1->setChecked(false);
    c.getData();
    EXPECT_FALSE(c.st.nochange.has_value());
    EXPECT_EQ(c.f.TRENDDSP->text(), "");
    EXPECT_EQ(c.f.FREQA->text(), " 266 Hz");
}

TEST(GetData, LaterStagesRunInOrderAfterTheTrend) {
    Call c(266, 30);
    std::string order;
    c.acq.stages.wordSelection = [&]() -> Task {
        order += "words(" + c.f.TRENDDSP->text() + ") ";
        co_await c.acq.dtimer(100);
        co_return true;
    };
    c.acq.stages.logs = [&] { order += "logs "; };
    c.acq.stages.alarms = [&] { order += "alarms "; };
    c.acq.stages.captureOnAlarm = [&] { order += "capture "; };
    c.acq.stages.saveDisplay = [&] { order += "save "; };
    for (int i = 0; i < 16; ++i)
        c.f.main_display->appendText("w\r\n");
    c.getData();
    EXPECT_EQ(order, "words(+) logs alarms capture save ");
    EXPECT_EQ(c.f.main_display->text(), "");
}

TEST(GetData, MainDisplayIsEmptiedAfterSixteenLineBreaks) {
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += "word\r\n";
    Call c(266, 30);
    int saves = 0;
    c.acq.stages.saveDisplay = [&] { ++saves; };
    c.f.main_display->setText(fifteen);
    c.getData();
    EXPECT_EQ(c.f.main_display->text(), fifteen);
    c.f.main_display->appendText("\r\n");
    c.getData();
    EXPECT_EQ(c.f.main_display->text(), "");
    EXPECT_EQ(saves, 1);
    // Lone CRs and LFs are no line breaks.
    c.f.main_display->setText(std::string(20, '\r') + std::string(20, '\n'));
    c.getData();
    EXPECT_NE(c.f.main_display->text(), "");
}

TEST(GetData, LongTextsAreEmptiedCountingCharactersNotBytes) {
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    Call c(266, 30);
    c.f.main_display->setText(repeat("\xC3\xA9", 1400)); // é, two bytes each
    c.f.veiwlog->setText(repeat("\xC3\xA9", 31000));
    c.f.alarmdisplay->setText(repeat("a", 32000));
    c.getData();
    EXPECT_FALSE(c.f.main_display->text().empty());
    EXPECT_FALSE(c.f.veiwlog->text().empty());
    EXPECT_FALSE(c.f.alarmdisplay->text().empty());
    c.f.main_display->appendText("x");
    c.f.veiwlog->appendText("x");
    c.f.alarmdisplay->appendText("x");
    c.getData();
    EXPECT_EQ(c.f.main_display->text(), "");
    EXPECT_EQ(c.f.veiwlog->text(), "");
    EXPECT_EQ(c.f.alarmdisplay->text(), "");
}

TEST(GetData, NoAnswerGivesUpAndLeavesTheDisplays) {
    Rig r(test::line('=', {0, 0, 0, 0, 0, 0, 0, 0}));
    r.st.ava1 = r.st.avb1 = 100;
    r.st.state = 1;
    r.f.FREQA->setText("before");
    EXPECT_FALSE(r.run(r.acq.get_data()));
    EXPECT_EQ(r.sched.nowMs(), kAnswerTimeoutMs);
    EXPECT_EQ(r.st.done_talk, 1);
    EXPECT_EQ(r.f.FREQA->text(), "before");
}

} // namespace
} // namespace kestle::device
