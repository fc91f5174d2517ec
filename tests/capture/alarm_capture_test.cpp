// SPDX-License-Identifier: GPL-3.0-or-later
// Capture on alarm and the tick's picture: the file names, the counters,
// when a recording starts and stops, and when the pre-roll is kept.
#include "capture/alarm_capture.h"
#include "capture/capture_menu.h"
#include "capture/recorded_controls.h"
#include "support/virtual_scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace kestle::capture::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CaptureOnAlarm : public ::testing::Test {
  protected:
    // The general date format follows the locale; the names here are US/C.
    int localeSet = ::setenv("LC_ALL", "C", 1);
    VirtualScheduler sched{LocalDateTime{2026, 12, 7, 4, 50, 20}};
    forms::MainForm f{sched};
    forms::MainState st;
    RecordedControls rc;
    AlarmCapture capture{f, st, rc.audio, rc.video, sched, "/data"};

    static std::string name(int n, const char* suffix) {
        return "\"/data/12_7_2026 4_50_20 AM_" + std::to_string(n) + suffix + "\"";
    }
};

TEST_F(CaptureOnAlarm, EachTrippedCycleRestartsTheRecordingUntilACalmOne) {
    f.av8->setChecked(true);
    capture.stage(true);
    capture.stage(true);
    capture.stage(true);
    EXPECT_EQ(st.aud, 1);
    capture.stage(false);
    capture.stage(false);
    EXPECT_EQ(st.aud, 0);
    const std::string file = "CAPTURE Audio.CaptureFileName = ";
    EXPECT_THAT(rc.calls, ElementsAre(file + name(1, "Alarm_Audio.wav"), "CAPTURE Audio.Start",
                                      file + name(2, "Alarm_Audio.wav"), "CAPTURE Audio.Start",
                                      file + name(3, "Alarm_Audio.wav"), "CAPTURE Audio.Start",
                                      "CAPTURE Audio.Stop"));
    EXPECT_EQ(st.tem, "12_7_2026 4_50_20 AM");
}

TEST_F(CaptureOnAlarm, PicturesCountApartFromSoundAndShareTheTickCounter) {
    f.av8->setChecked(true);
    f.vo2->setChecked(true);
    st.Asession = 4;
    capture.stage(true);
    capture.imageQaCapture();
    EXPECT_THAT(rc.calls,
                ElementsAre("CAPTURE Audio.CaptureFileName = " + name(5, "Alarm_Audio.wav"),
                            "CAPTURE Audio.Start",
                            "CAPTURE Video.SnapShot " + name(1, "Alarm_VIDEO.JPG"),
                            "CAPTURE Video.SnapShot " + name(2, "_VID.JPG")));
}

TEST_F(CaptureOnAlarm, TheItemKeepsThePreRollWhileCheckedAndPrintsNothingForIt) {
    forms::Vid2Form vid2;
    CaptureMenu menu{f, vid2, st, rc.audio, rc.video, sched, "/data"};
    menu.av8_Click();
    EXPECT_TRUE(rc.silentAudio.kept);
    capture.stage(true);
    capture.stage(false);
    menu.av8_Click();
    EXPECT_FALSE(rc.silentAudio.kept);
    EXPECT_THAT(rc.calls,
                ElementsAre("CAPTURE Audio.CaptureFileName = " + name(1, "Alarm_Audio.wav"),
                            "CAPTURE Audio.Start", "CAPTURE Audio.Stop"));
}

TEST_F(CaptureOnAlarm, NothingHappensWithoutTheItems) {
    capture.stage(true);
    st.aud = 1;
    capture.stage(false);
    EXPECT_THAT(rc.calls, IsEmpty());
    EXPECT_EQ(st.aud, 1);
}

} // namespace
} // namespace kestle::capture::test
