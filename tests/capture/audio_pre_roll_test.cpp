// SPDX-License-Identifier: GPL-3.0-or-later
// The microphone under "Capture On Alarm", in this process with the test
// tone: it runs for the pre-roll only while the item is checked, and a
// recording started while none runs begins with the sound before it.
#include "capture/gst_capture.h"
#include "fakes/wait_for.h"
#include "media_check.h"
#include "support/realtime_scheduler.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <unistd.h>

namespace kestle::capture::test {
namespace {

using namespace std::chrono_literals;
using kestle::test::waitFor;

class PreRoll : public ::testing::Test {
  protected:
    PreRoll() { fs::create_directories(dir); }
    ~PreRoll() override { fs::remove_all(dir); }

    std::unique_ptr<AudioControl> control(int seconds) {
        return makeGstAudio(makeTestCatalog(), sched, seconds);
    }
    std::size_t samplesIn(const fs::path& f) const {
        return fs::exists(f) ? readWav(f).samples.size() : 0;
    }

    fs::path dir = fs::temp_directory_path() / ("kestle-preroll-" + std::to_string(::getpid()));
    VirtualScheduler sched;
};

TEST_F(PreRoll, TheMicrophoneRunsOnlyWhileKeptOrRecording) {
    auto audio = control(1);
    audio->keepPreRoll(true);
    ASSERT_TRUE(waitFor([&] { return audio->listening(); }, 10s));
    audio->keepPreRoll(false);
    ASSERT_TRUE(waitFor([&] { return !audio->listening(); }, 10s));
    EXPECT_TRUE(fs::is_empty(dir)); // kept sound is never a file by itself

    // Unchecked during a recording: the recording goes on to its stop.
    const fs::path file = dir / "alarm.wav";
    audio->keepPreRoll(true);
    audio->setCaptureFileName(file.string());
    ASSERT_EQ(audio->start(), kStarted);
    audio->keepPreRoll(false);
    const std::size_t before = samplesIn(file);
    ASSERT_TRUE(waitFor([&] { return samplesIn(file) > before + 4410; }, 10s));
    EXPECT_TRUE(audio->listening());
    audio->stop();
    EXPECT_TRUE(waitFor([&] { return !audio->listening(); }, 10s));

    // With no pre-roll the item changes nothing: the recording's stop
    // stops the microphone, as without the item.
    auto plain = control(0);
    plain->keepPreRoll(true);
    plain->setCaptureFileName((dir / "plain.wav").string());
    ASSERT_EQ(plain->start(), kStarted);
    ASSERT_TRUE(waitFor([&] { return plain->listening(); }, 10s));
    plain->stop();
    EXPECT_TRUE(waitFor([&] { return !plain->listening(); }, 10s));
}

// A script's next line after a recording or "Capture On Alarm" counts its
// time from the microphone's first sound, however long the microphone takes
// to start; a control that goes first leaves nothing waited for.
TEST_F(PreRoll, TheSchedulerWaitsForTheFirstSoundAndNeverForEver) {
    // Runs the loop until no result is outstanding; what `then` saw then.
    const auto resultsIn = [](RealTimeScheduler& rt, const std::function<bool()>& then) {
        std::optional<bool> seen;
        rt.whenResultsIn([&] {
            seen = then();
            rt.stop();
        });
        rt.callAfter(20000, [&] { rt.stop(); });
        rt.run();
        return seen;
    };
    for (const bool recording : {false, true}) {
        RealTimeScheduler rt;
        auto audio = makeGstAudio(makeTestCatalog(), rt, 1);
        if (recording) {
            audio->setCaptureFileName((dir / "first-sound.wav").string());
            ASSERT_EQ(audio->start(), kStarted);
        } else {
            audio->keepPreRoll(true);
        }
        EXPECT_EQ(rt.resultsOutstanding(), 1) << recording;
        EXPECT_EQ(resultsIn(rt, [&] { return audio->listening(); }), true) << recording;
    }
    {
        RealTimeScheduler rt;
        auto audio = makeGstAudio(makeTestCatalog(), rt, 1);
        audio->keepPreRoll(true);
        audio.reset(); // before its pipeline was even built
        EXPECT_EQ(resultsIn(rt, [] { return true; }), true);
    }
}

TEST_F(PreRoll, ARecordingFromNoneStartsWithTheSoundBeforeItAndGoesOnUnbroken) {
    constexpr std::size_t kPre = 44100; // one second
    const fs::path first = dir / "first.wav", second = dir / "second.wav";
    const fs::path third = dir / "third.wav", fourth = dir / "fourth.wav";
    {
        auto audio = control(1);
        audio->keepPreRoll(true);
        audio->setCaptureFileName(first.string());
        ASSERT_EQ(audio->start(), kStarted);
        ASSERT_TRUE(waitFor([&] { return samplesIn(first) > kPre * 3 / 2; }, 20s));
        audio->stop();
        audio->setCaptureFileName(second.string());
        ASSERT_EQ(audio->start(), kStarted);
        ASSERT_TRUE(waitFor([&] { return samplesIn(second) > kPre + 4410; }, 20s));
        audio->stop();
        // A new name before the first sample: the next file has the pre-roll.
        for (const fs::path& f : {third, fourth}) {
            audio->setCaptureFileName(f.string());
            ASSERT_EQ(audio->start(), kStarted);
        }
        ASSERT_TRUE(waitFor([&] { return samplesIn(fourth) > 0; }, 20s));
    } // finishes the files
    const Wav a = readWav(first), b = readWav(second);
    ASSERT_TRUE(a.exact());
    ASSERT_TRUE(b.exact());
    EXPECT_LT(worstSineBreak(a.samples), 8.0);
    // The pre-roll runs into the live sound without a lost or doubled sample.
    EXPECT_LT(worstSineBreak(b.samples), 8.0);
    // The second file's first second is the end of the first file, but for
    // the few samples that came between the stop and the start.
    std::size_t gap = 0;
    const auto tailMatches = [&](std::size_t g) {
        const std::size_t n = kPre - g;
        return std::equal(b.samples.begin(), b.samples.begin() + static_cast<std::ptrdiff_t>(n),
                          a.samples.end() - static_cast<std::ptrdiff_t>(n));
    };
    while (gap < kPre / 4 && !tailMatches(gap))
        ++gap;
    EXPECT_LT(gap, kPre / 4) << "the second file does not start with the end of the first";
    EXPECT_GE(b.seconds(), 1.0);

    std::vector<std::int16_t> joined = readWav(third).samples;
    const std::vector<std::int16_t> more = readWav(fourth).samples;
    joined.insert(joined.end(), more.begin(), more.end());
    EXPECT_GT(joined.size(), kPre);
    EXPECT_LT(worstSineBreak(joined), 8.0);
}

} // namespace
} // namespace kestle::capture::test
