// SPDX-License-Identifier: GPL-3.0-or-later
// The set-up form's handlers on recorded controls, with the headless host
// answering its dialogs.
#include "app/headless_host.h"
#include "capture/setup_form.h"
#include "recorded_controls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace kestle::capture::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class Setup : public ::testing::Test {
  protected:
    Setup() {
        rc.silentVideo.devices = {"Test pattern", "Camera B"};
        rc.silentVideo.inputs = {"Camera"};
        rc.silentVideo.formats = {"640x480 30 fps", "320x240 30 fps"};
        rc.silentVideo.compressors = {"MJPEG", "VP8"};
        rc.silentVideo.compressor = {"Quality (1 to 100)", 1, 100, 85};
        form.Form_Load();
        f.setShown(true);
        rc.calls.clear();
    }
    // Host lines (messages, dialogs) since the last call.
    std::string shown() {
        std::string s = out.str();
        out.str("");
        return s;
    }

    forms::Vid2Form f;
    RecordedControls rc;
    std::ostringstream out;
    app::HeadlessHost host{out};
    SetupForm form{f, rc.video, rc.audio, host};
};

TEST_F(Setup, LoadFillsTheListsAndAppliesTheirFirstChoices) {
    forms::Vid2Form fresh;
    RecordedControls fresh_rc;
    fresh_rc.silentVideo.devices = {"Test pattern"};
    fresh_rc.silentVideo.formats = {"640x480 30 fps"};
    SetupForm loading(fresh, fresh_rc.video, fresh_rc.audio, host);
    loading.Form_Load();
    const auto& calls = fresh_rc.calls;
    EXPECT_EQ(calls.at(0), "CAPTURE Video.TVMute = True");
    EXPECT_EQ(calls.at(1), "CAPTURE Video.SetHatchBrush 0, 0, FFFFFF, 000000");
    for (const char* c :
         {"CAPTURE Video.SetTextStyle 0, 0", "CAPTURE Video.SetRotation 0",
          "CAPTURE Video.DrawDateTime 0, 0, 0", "CAPTURE Video.SetFontName 0, \"Arial\"",
          "CAPTURE Video.SetFontSize 0, 12", "CAPTURE Video.DateFontSize = 16",
          "CAPTURE Video.DateFontName = \"Arial\"", "CAPTURE Video.SelectVideoDevice 0",
          "CAPTURE Video.VideoInput = 0"})
        EXPECT_THAT(calls, Contains(c));
    EXPECT_THAT(calls, Not(Contains(HasSubstr("UseVideoCompressor"))));
    EXPECT_EQ(fresh.cbotextstyle->count(), 5);
    EXPECT_EQ(fresh.cborotate->count(), 12);
    EXPECT_EQ(fresh.cbohashbrushstyle->count(), 54);
    EXPECT_EQ(fresh.cboDateFormat->count(), 19);
    EXPECT_EQ(fresh.cbofontsize->count(), 27);
    EXPECT_EQ(fresh.cbofontsize->text(), "12");
    EXPECT_EQ(fresh.cbodatefontsize->text(), "16");
    EXPECT_EQ(fresh.cbodatefontname->text(), "Arial");
    EXPECT_EQ(fresh.cboVideoFormat->text(), "640x480 30 fps");
    EXPECT_EQ(fresh.cboVideoCompressor->selected(), -1);
    EXPECT_FALSE(fresh.cboVideoCompressor->enabled());
    EXPECT_TRUE(fresh.cmdsolidfontcolor->enabled());
    EXPECT_FALSE(fresh.cmdoutlineborder->enabled() || fresh.cbohashbrushstyle->enabled() ||
                 fresh.txttextureimage->enabled());
}

TEST_F(Setup, CaptureTellsStartsStatusAndLocksItsButtonsWhileRecording) {
    host.queueAnswer(std::nullopt);
    f.Command2->click();
    EXPECT_THAT(rc.calls, Not(Contains("CAPTURE Video.Start"))); // cancelled: nothing
    const std::pair<int, const char*> failures[] = {{kStartFailed, kCaptureFailure},
                                                    {kFileNotFound, kCaptureFileNotFound}};
    for (auto [status, text] : failures) {
        rc.silentVideo.startStatus = status;
        host.queueAnswer("/data/night.avi");
        f.Command2->click();
        EXPECT_THAT(shown(), HasSubstr("MSGBOX \"The Kestle\" \"" + std::string(text) + "\""));
        EXPECT_TRUE(f.Command2->enabled());
    }
    rc.silentVideo.startStatus = kStarted;
    rc.calls.clear();
    host.queueAnswer("/data/night.avi");
    f.Command2->click();
    EXPECT_THAT(shown(), Not(HasSubstr("MSGBOX")));
    EXPECT_FALSE(f.Command1->enabled() || f.Command2->enabled());
    EXPECT_TRUE(f.Command3->enabled());
    const std::vector<std::string> head(rc.calls.begin(), rc.calls.begin() + 9);
    EXPECT_THAT(head, ElementsAre("CAPTURE Video.VideoDevice = 0", "CAPTURE Video.VideoInput = 0",
                                  "CAPTURE Video.VideoFormat = 0", "CAPTURE Video.CaptureVideo = 1",
                                  "CAPTURE Video.PreviewWhenCapture = True",
                                  "CAPTURE Video.UseVideoCompressor = False",
                                  "CAPTURE Video.CaptureToFile = True",
                                  "CAPTURE Video.CaptureFileName = \"/data/night.avi\"",
                                  "CAPTURE Video.SetRotation 0"));
    rc.calls.clear();
    f.Command3->click();
    EXPECT_THAT(std::vector<std::string>(rc.calls.begin(), rc.calls.begin() + 4),
                ElementsAre("CAPTURE Video.PreviewWhenCapture = True",
                            "CAPTURE Video.CaptureToFile = False", "CAPTURE Video.Stop",
                            "CAPTURE Video.Start"));
    EXPECT_TRUE(f.Command1->enabled() && f.Command2->enabled());
    EXPECT_FALSE(f.Command3->enabled());
}

// A name typed without an extension records an AVI file; the status line
// says where the recording goes and how fast it fills the disk.
TEST_F(Setup, CaptureNamesAnAviFileAndSaysWhereAndHowFastItRecords) {
    rc.silentVideo.startStatus = kStarted;
    host.queueAnswer("/data/night one");
    f.Command2->click();
    EXPECT_THAT(rc.calls, Contains("CAPTURE Video.CaptureFileName = \"/data/night one.avi\""));
    EXPECT_THAT(shown(), HasSubstr("STATUS \"Recording video to /data/night one.avi: "
                                   "uncompressed, about 14 MB/s, 829 MB a minute\""));
    f.Command3->click();
    f.ChkUseVideoCap->click();
    f.cboVideoCompressor->choose(0);
    host.queueAnswer("/data/night.AVI"); // an extension of its own is kept
    f.Command2->click();
    EXPECT_THAT(rc.calls, Contains("CAPTURE Video.CaptureFileName = \"/data/night.AVI\""));
    EXPECT_THAT(shown(), HasSubstr("to /data/night.AVI: MJPEG, about 2 MB/s"));
}

TEST_F(Setup, StylesRotationAndPositionsKeepTheirRules) {
    f.txttextureimage->setText("");
    f.cbotextstyle->choose(4);
    EXPECT_EQ(shown(), "MSGBOX \"The Kestle\" \"Please select Texture Brush image \"\n");
    EXPECT_TRUE(f.txttextureimage->enabled() && f.cmdtextureselimage->enabled());
    EXPECT_FALSE(f.cmdsolidfontcolor->enabled());

    f.chkinvertcolor->click();
    f.cborotate->choose(1);
    EXPECT_THAT(shown(), HasSubstr(kNoInvertWithRotation));
    EXPECT_EQ(f.chkinvertcolor->value(), 1);
    EXPECT_THAT(rc.calls, Contains("CAPTURE Video.SetRotation 1"));

    rc.calls.clear();
    f.txtText->setText("  Corvane ");
    f.txtText2->setText("   ");
    f.Command10->click();
    EXPECT_THAT(rc.calls, ElementsAre("CAPTURE Video.DrawText 0, 0, 30, \"Corvane\\n\\r\""));
    rc.calls.clear();
    f.txtLeft->setText("left");
    f.Command10->click();
    EXPECT_THAT(rc.calls, IsEmpty());
    EXPECT_THAT(shown(), HasSubstr("\\\"left\\\" is not a whole number"));

    host.queueAnswer("00FF80");
    f.cmdimagetrancolor->click();
    f.Slider2->setValue(40);
    EXPECT_EQ(f.txtimageleft->text(), "40");
    EXPECT_THAT(rc.calls, Contains("CAPTURE Video.DrawImage 0, 40, 50, \"\", 00FF80, 255"));
}

TEST_F(Setup, TheSettingButtonShowsTheChosenCompressorsPage) {
    f.ChkUseVideoCap->click();
    ASSERT_TRUE(f.Command5->enabled());
    f.Command5->click(); // no compressor chosen yet
    EXPECT_EQ(shown(), "MSGBOX \"The Kestle\" \"No property page\"\n");
    f.cboVideoCompressor->choose(0);
    host.queueAnswer("101");
    f.Command5->click();
    EXPECT_THAT(shown(), HasSubstr("enter a whole number from 1 to 100"));
    host.queueAnswer("60");
    f.Command5->click();
    EXPECT_EQ(shown(), "INPUTBOX \"MJPEG Properties\" \"Quality (1 to 100)\" -> \"60\"\n");
    EXPECT_THAT(rc.calls, Contains("CAPTURE Video.CompressorSetting 0 = 60"));
}

TEST_F(Setup, ChangedDevicesKeepTheChosenOne) {
    f.cboDevice->choose(1);
    rc.silentVideo.devices = {"Camera A", "Test pattern", "Camera B"};
    form.devicesChanged();
    EXPECT_EQ(f.cboDevice->count(), 3);
    EXPECT_EQ(f.cboDevice->text(), "Camera B");
    rc.silentVideo.devices = {};
    form.devicesChanged();
    EXPECT_EQ(f.cboDevice->count(), 0);
    EXPECT_EQ(f.cboVideoFormat->count(), 0);
}

} // namespace
} // namespace kestle::capture::test
