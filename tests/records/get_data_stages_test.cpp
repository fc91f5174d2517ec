// SPDX-License-Identifier: GPL-3.0-or-later
// The records' stages inside real get_data calls, against a replayed Kestle.
#include "device/acquisition.h"
#include "device/replay_trace.h"
#include "records_rig.h"

namespace kestle::records::test {
namespace {

class GetDataStages : public RecordsTest {
  protected:
    GetDataStages() {
        acq.stages.logs = [this] { rec.logStage(); };
        acq.stages.alarms = [this] { rec.alarmStage(); };
        acq.stages.captureOnAlarm = [this] { alarmCapture.stage(rec.alarmTripped() != 0); };
        acq.stages.saveDisplay = [this] { rec.saveDisplay(); };
        acq.connect_hid();
        sched.advance(5);
        st.ava1 = 520, st.avb1 = 550, st.offset = 5, st.repeat_word = 10; // as the scope left them
        f.logfileon->click();
        f.logfilerf->click();
    }
    ~GetDataStages() override { acq.disconnect_hid(); }

    void getData() {
        st.state = 1;
        device::Task t = acq.get_data();
        t.start();
        while (!t.done() && sched.runOne()) {
        }
        ASSERT_TRUE(t.result() && st.state == 0);
    }
    // What follows the header (and its empty line).
    std::string rows(Log log) {
        const std::string t = fileText(logPath(log));
        return t.substr(t.find("\r\n\r\n") + 4);
    }

    // Frequency A 266 Hz, frequency B 30 Hz.
    device::ReplayLink link{sched, {{'>', {0, 0, 0, 0, 0x01, 0x0A, 0x00, 0x1E}}}};
    device::Acquisition acq{sched, host, link, f, st};
};

TEST_F(GetDataStages, SixteenLinesAreCapturedOnceAndEmptiedFifteenStay) {
    std::string text;
    for (int i = 0; i < 15; ++i)
        text += "word\r\n";
    f.main_display->setText(text);
    getData();
    EXPECT_THAT(renderer.calls, IsEmpty());
    f.main_display->appendText("word\r\n");
    getData();
    EXPECT_THAT(renderer.calls, ElementsAre(data / (kFileStamp + "_1 CVSCREEN.jpg")));
    EXPECT_EQ(fileText(renderer.calls[0]), text + "word\r\n");
    EXPECT_EQ(f.main_display->text(), "");
}

TEST_F(GetDataStages, TheRowIsMadeFromTheDisplaysOfTheCall) {
    getData(); // ECM Voltage Mode: the level 1070 left the band around 0
    const std::string r = kStamp + ", 520, 550, 1.31 VDC, +, 2.54 VDC, 2.69 VDC,  266 Hz, 30 Hz,"
                                   "0,,,Hum,,,,,,,\r\n\r\n";
    EXPECT_EQ(rows(Log::Data), r);
    f.subhz->click(); // 30 Hz lies in "0 to 30 Hz": the RF log only
    getData();
    EXPECT_EQ(rows(Log::Data), r);
    EXPECT_THAT(rows(Log::RfThreshold), HasSubstr(" 30 Hz,1,,,Hum,"));
}

TEST_F(GetDataStages, WithoutAnEcmModeEveryCallWritesADataRow) {
    f.ITC1->setChecked(false);
    getData();
    getData();
    const std::string r = kStamp +
                          ", 520, 550, , , 2.54 VDC, 2.69 VDC,  266 Hz, 30 Hz,0,,,Hum,,,,,,,"
                          "\r\n\r\n";
    EXPECT_EQ(rows(Log::Data), r + r);
    EXPECT_EQ(rows(Log::RfThreshold), "");
}

TEST_F(GetDataStages, SkippedExchangeTripsTheBelowAlarmsOnVoltsAndFrequency) {
    f.HSPh->setChecked(true);
    f.ITC1->setChecked(false);
    f.ITC3->setChecked(true);
    setLimit(1, "1");
    setLimit(3, "100");
    setLimit(0, "0.5");
    getData();
    EXPECT_EQ(f.alarmdisplay->text(), kStamp + " Voltage Below 1 Value = 0 Vdc\r\n" + kStamp +
                                          " Frequency Below 100 Value =  Hz\r\n");
}

} // namespace
} // namespace kestle::records::test
