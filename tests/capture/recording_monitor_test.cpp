// SPDX-License-Identifier: GPL-3.0-or-later
// What the recording indicator says, and how fast a video recording fills
// the disk before it starts.
#include "capture/recording_monitor.h"

#include <gtest/gtest.h>

namespace kestle::capture {
namespace {

using Source = CaptureError::Source;

TEST(RecordingRate, ComesFromTheFormatAndTheCompressor) {
    EXPECT_DOUBLE_EQ(*videoBytesPerSecond("640x480 30 fps", ""), 640 * 480 * 1.5 * 30);
    EXPECT_DOUBLE_EQ(*videoBytesPerSecond("1280x720 YUY2 25 fps", ""), 1280 * 720 * 1.5 * 25);
    EXPECT_NEAR(*videoBytesPerSecond("640x480 MJPG 30 fps", "MJPEG"), 2.2e6, 0.1e6);
    EXPECT_DOUBLE_EQ(*videoBytesPerSecond("640x480 30 fps", "VP8"), 250000);
    EXPECT_FALSE(videoBytesPerSecond("640x480 30 fps", "PNG lossless")); // depends on the picture
    EXPECT_FALSE(videoBytesPerSecond("Camera", ""));
    EXPECT_EQ(rateText(13.824e6), "about 14 MB/s, 829 MB a minute");
}

// Two recordings start, grow and end; the room left is worked out from how
// fast they grow, and under ten minutes of it the indicator warns.
TEST(RecordingMonitor, SaysWhatRecordsHowLongHowLargeAndHowMuchRoomIsLeft) {
    RecordingMonitor m;
    EXPECT_FALSE(m.recording());
    EXPECT_EQ(m.text(0), "");
    m.notice({Source::Video, false, "/data/night.avi", {}}, 1000);
    m.notice({Source::Audio, false, "/data/7 Alarm_Audio.wav", {}}, 31000);
    ASSERT_EQ(m.running().size(), 2u);
    m.measured({400'000'000, 1'000'000}, 50'000'000'000, 61000);
    EXPECT_FALSE(m.bytesPerSecond()); // one measurement gives no rate
    EXPECT_EQ(m.text(61000), "REC video night.avi 1:00 400 MB; sound 7 Alarm_Audio.wav 0:30 "
                             "1 MB | 50.0 GB free");
    m.measured({414'000'000, 1'100'000}, 49'985'900'000, 62000);
    EXPECT_NEAR(*m.bytesPerSecond(), 14.1e6, 1e4);
    EXPECT_NEAR(double(*m.roomSeconds()), 49'985'900'000 / 14.1e6, 2);
    EXPECT_FALSE(m.warning());
    EXPECT_NE(m.text(62000).find(", about 59 min of recording"), std::string::npos)
        << m.text(62000);

    m.measured({428'000'000, 1'200'000}, 8'000'000'000, 63000); // the disk fills
    EXPECT_TRUE(m.warning());
    EXPECT_NE(m.text(63000).find("ONLY about 9 min OF RECORDING LEFT"), std::string::npos)
        << m.text(63000);

    m.notice({Source::Video, true, "/data/night.avi", {}}, 64000);
    ASSERT_EQ(m.running().size(), 1u);
    EXPECT_EQ(m.running()[0].file, "/data/7 Alarm_Audio.wav");
    EXPECT_FALSE(m.warning()); // a new set of files: no rate measured yet
    m.notice({Source::Audio, true, "/data/7 Alarm_Audio.wav", "No space left on device"}, 65000);
    EXPECT_FALSE(m.recording());
}

} // namespace
} // namespace kestle::capture
