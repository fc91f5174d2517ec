// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_rig.h"

namespace kestle::records::test {
namespace {

std::string line(const std::string& rest) {
    return kStamp + rest + "\r\n";
}

using Alarms = RecordsTest;

TEST_F(Alarms, EntryChecksOnTheTypedTextAndStoresTheLimitTwoWays) {
    struct Case {
        int n;
        std::optional<std::string> typed;
        bool checked;
        const char* stored;
    };
    const Case cases[] = {
        {1, "-3.5 V", true, "3.5"},    {0, "1.50", true, "1.50"}, {1, "1.50", true, "1.5"},
        {2, ".50", true, "0.5"},       {3, "1.2.3", true, "1.2"}, {6, "1.2.3", true, "1.2.3"},
        {10, "warm", true, ""},        {5, "x", true, "0"},       {0, std::nullopt, false, ""},
        {4, std::nullopt, false, "0"},
    };
    for (const Case& c : cases) {
        setLimit(c.n, c.typed);
        EXPECT_EQ(f.alarms[c.n]->checked(), c.checked) << c.n << " " << c.typed.value_or("-");
        EXPECT_EQ(st.alarmLimits[c.n], c.stored) << c.n << " " << c.typed.value_or("-");
    }
    EXPECT_EQ(host.inputs[0], "Alarm Settings|Voltage Below 0 to 5 volts IE:.01 or 3.21|");
    setLimit(5, "2");
    EXPECT_EQ(host.inputs.back(), "Alarm Settings|Threshold Below  1 to 2048 counts IE: 1 or 321|");
}

TEST_F(Alarms, VoltageAboveTripsInEveryCycleWhileItHolds) {
    typicalReadings();
    setLimit(0, "2.5");
    rec.alarmStage();
    rec.alarmStage();
    EXPECT_EQ(f.alarmdisplay->text(), line(" Voltage Above 2.5 Value = 2.6123046875 Vdc") +
                                          line(" Voltage Above 2.5 Value = 2.6123046875 Vdc"));
    EXPECT_EQ(rec.alarmTripped(), 1);
    st.ava1 = 100;
    rec.alarmStage();
    EXPECT_EQ(rec.alarmTripped(), 0);
    f.alarms[0]->setChecked(false);
    st.ava1 = 520;
    rec.alarmStage(); // an unchecked item takes no part
    EXPECT_EQ(rec.alarmTripped(), 0);
}

TEST_F(Alarms, AllTwelveTripInTableOrderWithTheirWordsAndUnits) {
    typicalReadings();
    const char* limits[] = {"1", "9", "1", "99999", "1", "9999", "1", "99", "1", "99", "hot", "99"};
    for (int i = 0; i < 12; ++i)
        setLimit(i, limits[i]);
    rec.alarmStage();
    EXPECT_EQ(st.emfav, "12.5");
    EXPECT_EQ(f.alarmdisplay->text(),
              line(" Voltage Above 1 Value = 2.6123046875 Vdc") +
                  line(" Voltage Below 9 Value = 2.6123046875 Vdc") +
                  line(" Frequency Above 1 Value = 148 Hz") +
                  line(" Frequency Below 99999 Value = 148 Hz") +
                  line(" Threshhold Above 1 Value = 535 Level") +
                  line(" Threshhold Below 9999 Value = 535 Level") +
                  line(" EMF Above 1 Value = 12.5 mG") + line(" EMF Below 99 Value = 12.5 mG") +
                  line(" EMF (N) Above 1 Value =  10.5 mG (N)") +
                  line(" EMF(N) Below 99 Value =  10.5 mG (N)") +
                  line(" Temperature Above  Value = 69 F") + // nothing typed: limit 0
                  line(" Temperature Below 99 Value = 69 F"));
}

TEST_F(Alarms, AReadingEqualToItsLimitNeverTrips) {
    typicalReadings();
    const char* equal[] = {"2.6123046875", "148", "535", "12.5", "10.5", "69"};
    for (int i = 0; i < 12; ++i)
        setLimit(i, equal[i / 2]);
    rec.alarmStage();
    EXPECT_EQ(f.alarmdisplay->text(), "");
    EXPECT_EQ(rec.alarmTripped(), 0);
    f.alarms[10]->setChecked(false);
    setLimit(11, "70"); // temperature below 70: 69 trips, 70 does not
    rec.alarmStage();
    st.Temp = 70;
    rec.alarmStage();
    EXPECT_EQ(f.alarmdisplay->text(), line(" Temperature Below 70 Value = 69 F"));
}

TEST_F(Alarms, AnEmptyFieldDisplayReadsZero) {
    typicalReadings();
    f.EMFdisplay1->setText(". mG");
    setLimit(7, "1");
    rec.alarmStage();
    EXPECT_EQ(f.alarmdisplay->text(), line(" EMF Below 1 Value = 0 mG"));
}

TEST_F(Alarms, WithoutLogAlarmsTheWindowAndTheCaptureStillGetThem) {
    typicalReadings();
    setLimit(0, "2.5");
    f.av8->setChecked(true);
    rec.alarmStage();
    alarmCapture.stage(rec.alarmTripped() != 0);
    EXPECT_FALSE(fs::exists(logPath(Log::Alarm)));
    EXPECT_NE(f.alarmdisplay->text(), "");
    EXPECT_THAT(calls, ElementsAre("CAPTURE Audio.CaptureFileName = \"" + appath + kFileStamp +
                                       "_1Alarm_Audio.wav\"",
                                   "CAPTURE Audio.Start"));
}

TEST_F(Alarms, TheAlarmLogHasItsTitleAndAnEmptyLineAfterEachEntry) {
    typicalReadings();
    setLimit(0, "2.5");
    setLimit(11, "70");
    f.logalarm->click();
    rec.alarmStage();
    rec.alarmStage();
    const std::string a = line(" Voltage Above 2.5 Value = 2.6123046875 Vdc") + "\r\n";
    const std::string b = line(" Temperature Below 70 Value = 69 F") + "\r\n";
    EXPECT_EQ(fileText(logPath(Log::Alarm)), "\r\n Alarms Log File!\r\n" + a + b + a + b);
}

TEST_F(Alarms, EveryShowingStacksAnotherSummaryNewestFirst) {
    setLimit(1, "1");
    setLimit(9, "4");
    f.alarmdisplay->setText("old\r\n");
    f.alarm13->click();
    EXPECT_TRUE(f.alarm13->checked() && f.alarmdisplay->visible());
    f.alarm13->click();
    EXPECT_FALSE(f.alarm13->checked() || f.alarmdisplay->visible());
    setLimit(1, "2");
    f.alarm13->click();
    const std::string tail = " mG+  mG-  N mG+ 4 N mG-  F+  F- \r\n";
    EXPECT_EQ(f.alarmdisplay->text(), " Volts+ 2 Volts-  Hz+  Hz-  Counts+  Counts- \r\n" + tail +
                                          " Volts+ 1 Volts-  Hz+  Hz-  Counts+  Counts- \r\n" +
                                          tail + "old\r\n");
}

} // namespace
} // namespace kestle::records::test
