// SPDX-License-Identifier: GPL-3.0-or-later
// Whole headless sessions in real time with the test pattern and tone,
// through the paths of the PC A/V menu, the question session, capture on
// alarm and the set-up form; the files are read back and checked.
#include "kestle_process.h"
#include "media_check.h"

#include <gmock/gmock.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <regex>

namespace kestle::capture::test {
namespace {

using ::testing::HasSubstr;

// The counter in a capture file name ("..._12Alarm_Audio.wav" -> 12).
int counterOf(const fs::path& p, const std::string& suffix) {
    const std::string n = p.filename().string();
    const std::string head = n.substr(0, n.size() - suffix.size());
    return std::stoi(head.substr(head.rfind('_') + 1));
}

std::size_t countLines(const std::string& out, const std::string& line) {
    std::size_t n = 0;
    for (std::size_t p = 0; (p = out.find(line + "\n", p)) != std::string::npos; ++p)
        if (p == 0 || out[p - 1] == '\n')
            ++n;
    return n;
}

TEST(CaptureRun, ConstantAndQuestionRecordingsHoldWhatTheirSwitchesLetThrough) {
    KestleProcess k;
    k.start("click Save_Main_display\nclick av3\nwait 2000\nclick av3\n"
            // QA Capture: only the two 3-second answer windows and the second
            // of constant answers are recorded, not the pauses between them.
            "click av4\nclick Option1(0)\ntype question One?\\r\\n\nwait 4500\n"
            "type question Two?\\r\\n\nwait 4500\n"
            "click Option1(7)\nwait 1000\nclick cancel\nwait 500\nclick av4\nquit\n");
    ASSERT_EQ(k.wait(), 0) << k.out();

    const auto evp = k.files("_EVP.wav"), qa = k.files("Audio_QA.wav");
    ASSERT_EQ(evp.size(), 1u);
    ASSERT_EQ(qa.size(), 1u);
    EXPECT_EQ(counterOf(evp[0], "_EVP.wav"), 1);
    EXPECT_EQ(counterOf(qa[0], "Audio_QA.wav"), 2);
    const Wav constant = readWav(evp[0]), answers = readWav(qa[0]);
    for (const Wav* w : {&constant, &answers}) {
        EXPECT_TRUE(w->exact());
        EXPECT_EQ(w->format, 1);
        EXPECT_EQ(w->channels, 1);
        EXPECT_EQ(w->bits, 16);
        EXPECT_EQ(w->rate, 44100u);
    }
    EXPECT_NEAR(constant.seconds(), 2.0, 0.3);
    EXPECT_NEAR(answers.seconds(), 3.0 + 3.0 + 1.0, 0.6);
    // A saved screen capture is confirmed with its name.
    const auto screen = k.files(" CVSCREEN.jpg");
    ASSERT_EQ(screen.size(), 1u);
    EXPECT_THAT(k.out(), HasSubstr("STATUS \"Screen captured: " + screen[0].string() + "\"\n"));
}

TEST(CaptureRun, AnAlarmOverSeveralCyclesRecordsConsecutiveFilesWithoutLosingASample) {
    KestleProcess k;
    // Voltage above 2.5 trips in every get_data call of two cycles; the
    // third cycle's calm call stops the recording. Each tripped call also
    // saves a picture.
    k.start("click av8\nclick vo2\nanswer 2.5\nclick Alarm1\nclick Option1(7)\nwait 3000\n"
            "click cancel\nwait 300\nquit\n",
            {"--device",
             "replay:" +
                 (fs::path(KESTLE_TEST_DATA) / "scenarios/records_capture_menu.trace").string()});
    ASSERT_EQ(k.wait(), 0) << k.out();

    auto files = k.files("Alarm_Audio.wav");
    ASSERT_EQ(files.size(), 4u) << k.out();
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return counterOf(a, "Alarm_Audio.wav") < counterOf(b, "Alarm_Audio.wav");
    });
    std::vector<std::int16_t> joined;
    for (const fs::path& f : files) {
        const Wav w = readWav(f);
        EXPECT_TRUE(w.exact()) << f;
        joined.insert(joined.end(), w.samples.begin(), w.samples.end());
    }
    ASSERT_GT(joined.size(), 44100u / 10);
    EXPECT_LT(worstSineBreak(joined), 8.0);
    EXPECT_EQ(countLines(k.out(), "CAPTURE Audio.Stop"), 2u); // the calm cycle, and Exit

    std::vector<int> pictures;
    for (const fs::path& f : k.files("Alarm_VIDEO.JPG")) {
        pictures.push_back(counterOf(f, "Alarm_VIDEO.JPG"));
        EXPECT_EQ(QImage(QString::fromStdString(f.string())).size(), QSize(640, 480)) << f;
    }
    std::sort(pictures.begin(), pictures.end());
    EXPECT_EQ(pictures, (std::vector<int>{1, 2, 3, 4}));
}

// An alarm of two cycles, with "Capture On Alarm" checked `armedMs` before.
struct AlarmRun {
    std::vector<int> counters;        // of the Alarm_Audio.wav files
    std::vector<std::int16_t> joined; // their samples in order
    double alarmSeconds = 0;          // from the first Start to the Stop
    std::string out;                  // what the program printed
};

AlarmRun runAlarm(KestleProcess& k, int armedMs) {
    k.start("click av8\nwait " + std::to_string(armedMs) +
                "\nanswer 2.5\nclick Alarm1\nclick Option1(7)\nwait 3000\n"
                "click cancel\nwait 300\nquit\n",
            {"--device",
             "replay:" +
                 (fs::path(KESTLE_TEST_DATA) / "scenarios/records_capture_menu.trace").string()});
    // The program prints each line as it happens: its times are the alarm's.
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> started;
    Clock::time_point stopped;
    const bool seen = waitFor(
        [&] {
            const std::string out = k.out();
            if (!started && countLines(out, "CAPTURE Audio.Start") > 0)
                started = Clock::now();
            stopped = Clock::now();
            return started && countLines(out, "CAPTURE Audio.Stop") > 0;
        },
        std::chrono::seconds(60));
    AlarmRun r;
    EXPECT_TRUE(seen) << k.out();
    EXPECT_EQ(k.wait(), 0) << k.out();
    r.out = k.out();
    if (!seen)
        return r;
    r.alarmSeconds = std::chrono::duration<double>(stopped - *started).count();
    auto files = k.files("Alarm_Audio.wav");
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return counterOf(a, "Alarm_Audio.wav") < counterOf(b, "Alarm_Audio.wav");
    });
    for (const fs::path& f : files) {
        r.counters.push_back(counterOf(f, "Alarm_Audio.wav"));
        const Wav w = readWav(f);
        EXPECT_TRUE(w.exact()) << f;
        r.joined.insert(r.joined.end(), w.samples.begin(), w.samples.end());
    }
    return r;
}

TEST(CaptureRun, AnAlarmRecordingStartsFiveSecondsBeforeTheTripByDefault) {
    KestleProcess k; // no preferences file
    const AlarmRun r = runAlarm(k, 6500);
    ASSERT_EQ(r.counters, (std::vector<int>{1, 2, 3, 4}));
    const double seconds = double(r.joined.size()) / 44100;
    EXPECT_GE(seconds, r.alarmSeconds + 5 - 0.2) << "alarm " << r.alarmSeconds << " s\n" << r.out;
    EXPECT_LE(seconds, r.alarmSeconds + 5 + 0.5) << "alarm " << r.alarmSeconds << " s\n" << r.out;
    // The first five seconds are the tone from before the trip, running on
    // into the alarm's own sound without a break.
    EXPECT_LT(worstSineBreak(r.joined), 8.0);
    ASSERT_GE(r.joined.size(), 5u * 44100);
    for (std::size_t at = 0; at + 4410 <= 5 * 44100; at += 4410) {
        const auto [lo, hi] =
            std::minmax_element(r.joined.begin() + long(at), r.joined.begin() + long(at + 4410));
        ASSERT_GT(*hi - *lo, 2 * 8000) << "no tone at " << double(at) / 44100 << " s";
    }
    std::cout << "[          ] alarm " << r.alarmSeconds << " s, recorded " << seconds << " s\n";
}

TEST(CaptureRun, WithNoPreRollAnAlarmRecordsFromItsTripAsBefore) {
    KestleProcess k;
    k.preferences("[capture]\nalarmPreRollSeconds=0\n");
    const AlarmRun r = runAlarm(k, 2000);
    ASSERT_EQ(r.counters, (std::vector<int>{1, 2, 3, 4}));
    const double seconds = double(r.joined.size()) / 44100;
    EXPECT_NEAR(seconds, r.alarmSeconds, 0.3);
    EXPECT_LT(worstSineBreak(r.joined), 8.0);
    std::cout << "[          ] alarm " << r.alarmSeconds << " s, recorded " << seconds << " s\n";
}

TEST(CaptureRun, APreRollWithoutAnAlarmWritesNothingAndPrintsNothing) {
    KestleProcess k;
    // Out of range: the default five seconds, no failure.
    k.preferences("[capture]\nalarmPreRollSeconds=-3\n");
    // Unchecked, checked again, and the program ends with the microphone on.
    k.start("click av8\nwait 1500\nclick av8\nclick av8\nwait 1500\nquit\n");
    ASSERT_EQ(k.wait(), 0) << k.out();
    EXPECT_TRUE(k.files(".wav").empty());
    // Only what every exit prints.
    EXPECT_EQ(k.out(), "CAPTURE Audio.Stop\nCAPTURE Video.Stop\n");
}

TEST(CaptureRun, VideoRecordingsUseEveryOtherNumberAndAreFinishedAtExit) {
    KestleProcess k;
    k.start("click av1\nwait 3000\nclick av1\nclick av1\nwait 1000\nclick av1\n"
            // Exit while a recording runs: the file is finished all the same.
            "click av1\nclick av3\nwait 1500\nquit\n");
    ASSERT_EQ(k.wait(), 0) << k.out();

    const auto avis = k.files("Video_Capture.AVI");
    ASSERT_EQ(avis.size(), 3u);
    std::vector<int> numbers;
    for (const auto& f : avis)
        numbers.push_back(counterOf(f, "Video_Capture.AVI"));
    std::sort(numbers.begin(), numbers.end());
    EXPECT_EQ(numbers, (std::vector<int>{1, 3, 5}));
    const double seconds[] = {3.0, 1.0, 1.5};
    for (std::size_t i = 0; i < 3; ++i) {
        const fs::path f = *std::find_if(avis.begin(), avis.end(), [&](const fs::path& p) {
            return counterOf(p, "Video_Capture.AVI") == numbers[i];
        });
        const Avi a = readAvi(f);
        ASSERT_TRUE(a.valid) << f;
        EXPECT_TRUE(a.indexed) << f;
        EXPECT_EQ(a.codec, "MJPG");
        EXPECT_EQ(a.width, 640u);
        EXPECT_EQ(a.height, 480u);
        EXPECT_NEAR(a.fps(), 30, 0.01);
        EXPECT_EQ(a.headerFrames, static_cast<std::uint32_t>(a.frames));
        EXPECT_NEAR(a.frames / 30.0, seconds[i], 0.35) << f;
        QImage first;
        ASSERT_TRUE(first.loadFromData(QByteArray::fromStdString(a.firstFrames.at(0)), "JPG"));
        EXPECT_EQ(first.size(), QSize(640, 480));
    }
    const Wav w = readWav(k.files("_EVP.wav").at(0));
    EXPECT_TRUE(w.exact());
    EXPECT_NEAR(w.seconds(), 1.5, 0.3);
}

// The last picture the tick saved in a phase of the session.
QImage lastPicture(const KestleProcess& k, int from, int to) {
    QImage img;
    for (const fs::path& f : k.files("_VID.JPG")) {
        const int n = counterOf(f, "_VID.JPG");
        if (n >= from && n <= to)
            img.load(QString::fromStdString(f.string()));
    }
    return img;
}

TEST(CaptureRun, PicturesShowRotationInversionAndThePictureOverlay) {
    KestleProcess k;
    k.start("click vidtext\ntype vid2.txtimage " + (k.dir() / "BOX.BMP").string() +
            "\nclick vid2.Command1\n" +
            // Three phases of the tick's pictures, told apart by their numbers.
            "click av7\nclick Option1(7)\nwait 1500\nclick cancel\nclick av7\ndump Bsession\n"
            "set vid2.cborotate 1\n"
            "click av7\nclick Option1(7)\nwait 1500\nclick cancel\nclick av7\ndump Bsession\n"
            "set vid2.cborotate 0\nclick vid2.chkinvertcolor\n"
            "click av7\nclick Option1(7)\nwait 1500\nclick cancel\nclick av7\ndump Bsession\n"
            "quit\n");
    ASSERT_EQ(k.wait(), 0) << k.out();
    std::vector<int> ends;
    const std::string out = k.out();
    const std::regex counter("Bsession: (\\d+)");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), counter);
         it != std::sregex_iterator(); ++it)
        ends.push_back(std::stoi((*it)[1]));
    ASSERT_EQ(ends.size(), 3u) << out;

    const QImage plain = lastPicture(k, 1, ends[0]);
    const QImage turned = lastPicture(k, ends[0] + 1, ends[1]);
    const QImage inverted = lastPicture(k, ends[1] + 1, ends[2]);
    ASSERT_EQ(plain.size(), QSize(640, 480));
    EXPECT_EQ(turned.size(), QSize(480, 640));
    ASSERT_EQ(inverted.size(), QSize(640, 480));

    // The moving pattern wraps round, so its mean colour stays; inverted,
    // each mean becomes 255 minus itself. The overlays are left as they are.
    const auto a = meanColour(plain.copy(0, 150, 640, 330));
    const auto b = meanColour(inverted.copy(0, 150, 640, 330));
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(a[static_cast<std::size_t>(c)] + b[static_cast<std::size_t>(c)], 255.0, 6.0)
            << "colour " << c;

    // The picture overlay stands at 0,50 in every picture, black pixels
    // transparent, not inverted.
    const QImage box(QString::fromStdString((k.dir() / "BOX.BMP").string()));
    ASSERT_FALSE(box.isNull());
    for (const QImage* shot : {&plain, &turned, &inverted}) {
        double diff = 0;
        int n = 0;
        for (int y = 0; y < box.height(); ++y)
            for (int x = 0; x < box.width(); ++x) {
                const QRgb want = box.pixel(x, y);
                if ((want & 0xFFFFFF) == 0)
                    continue;
                const QRgb got = shot->pixel(x, 50 + y);
                diff += std::abs(qRed(got) - qRed(want)) + std::abs(qGreen(got) - qGreen(want)) +
                        std::abs(qBlue(got) - qBlue(want));
                ++n;
            }
        ASSERT_GT(n, 100);
        EXPECT_LT(diff / (3.0 * n), 12.0);
    }
}

TEST(CaptureRun, WithoutCameraOrMicrophoneNothingIsWrittenAndEachIsToldOnce) {
    KestleProcess k;
    k.start("click av1\nclick av1\nclick av7\nclick av7\nclick av3\nclick av3\nclick av4\n"
            "click av4\nwait 300\nquit\n",
            {"--capture", "auto"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    EXPECT_EQ(countLines(k.out(), "STATUS \"Video capture: No camera found\""), 1u) << k.out();
    EXPECT_EQ(countLines(k.out(), "STATUS \"Audio capture: No microphone found\""), 1u) << k.out();
    EXPECT_TRUE(k.files(".AVI").empty());
    EXPECT_TRUE(k.files(".wav").empty());
}

TEST(CaptureRun, AKilledRecordingStaysReadableToItsLastBlock) {
    KestleProcess k;
    k.start("click av3\nwait 60000\n");
    fs::path wav;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto f = k.files("_EVP.wav");
            if (f.empty())
                return false;
            wav = f[0];
            return fs::file_size(wav) > 44 + 2 * 44100 * 2;
        },
        std::chrono::seconds(20)));
    k.kill9();
    const Wav w = readWav(wav);
    ASSERT_TRUE(w.valid);
    // All that reached the file is stated in its header but at most the
    // block being written when it died.
    EXPECT_LE(w.fileSize - 44 - w.dataSize, 4096u);
    EXPECT_EQ(w.riffSize, w.dataSize + 36);
    EXPECT_GE(w.seconds(), 2.0);
    EXPECT_LT(worstSineBreak(w.samples), 8.0);
}

TEST(CaptureRun, AFullDiskEndsTheRecordingsAndWhatWasRecordedStaysReadable) {
    KestleProcess k;
    const rlim_t limit = 400000; // about 4.5 s of sound, 0.2 s of pictures
    k.start("click av3\nclick av1\nwait 6000\nclick av1\nclick av3\nquit\n", {}, limit);
    ASSERT_EQ(k.wait(), 0) << k.out();
    const std::string out = k.out();
    EXPECT_THAT(out, HasSubstr("STATUS \"Audio capture: "));
    EXPECT_THAT(out, HasSubstr("Recording stopped: File too large"));
    EXPECT_THAT(out, HasSubstr("STATUS \"Video capture: "));
    const Wav w = readWav(k.files("_EVP.wav").at(0));
    EXPECT_TRUE(w.exact());
    EXPECT_LE(w.fileSize, limit);
    EXPECT_GT(w.seconds(), 4.0);
    EXPECT_LT(worstSineBreak(w.samples), 8.0);
}

TEST(CaptureRun, FilesThatCannotBeMadeGiveTheFormsMessagesAndAStatusLine) {
    KestleProcess k;
    k.start("click vidtext\nanswer /sys/capture.avi\nclick vid2.Command2\n"
            "answer /no/such/folder/capture.avi\nclick vid2.Command2\n"
            "dump vid2.Command3\nquit\n",
            {"--data-dir", "/sys"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    const std::string out = k.out();
    EXPECT_THAT(out, HasSubstr("FILEDIALOG \"Capture File\" \"Avi File (*.avi)|*.avi\" -> "
                               "\"/sys/capture.avi\"\n"));
    EXPECT_THAT(out, HasSubstr("STATUS \"Video capture: /sys/capture.avi: Permission denied\"\n"));
    EXPECT_THAT(out, HasSubstr("MSGBOX \"The Kestle\" \"Capture Failure,Video, Audio Compressor "
                               "not correct or capture file opening\"\n"));
    EXPECT_THAT(out, HasSubstr("MSGBOX \"The Kestle\" \"Capture file not found\"\n"));
    EXPECT_THAT(out, HasSubstr("vid2.Command3: text=\"Stop Capture\" enabled=0"));
}

} // namespace
} // namespace kestle::capture::test
