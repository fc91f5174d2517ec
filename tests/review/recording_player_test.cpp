// SPDX-License-Identifier: GPL-3.0-or-later
// Playing a recording from a moment on the fake sink: the position it
// reports, the end of the file, and what cannot be played.
#include "capture/wav_writer.h"
#include "fakes/temp_folder.h"
#include "fakes/wait_for.h"
#include "review/recording_player.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestle::review {
namespace {

using namespace std::chrono_literals;

TEST(RecordingPlayer, PlaysFromTheMomentAskedUntilTheEnd) {
    test::TempFolder dir;
    const auto wav = dir.path() / "1 Alarm_Audio.wav";
    {
        const std::string samples(2 * 8000 * 2, '\0'); // 2 s, 8 kHz mono
        std::ofstream(wav, std::ios::binary)
            << capture::wavHeader(8000, 1, std::uint32_t(samples.size())) << samples;
    }
    RecordingPlayer p("fakesink");
    ASSERT_TRUE(p.start(wav, 1200));
    EXPECT_TRUE(p.active());
    std::optional<std::int64_t> at;
    ASSERT_TRUE(test::waitFor(
        [&] {
            p.poll();
            at = p.positionMs();
            return at.has_value();
        },
        10s))
        << p.error();
    EXPECT_GE(*at, 1200);
    EXPECT_LT(*at, 2000);
    EXPECT_TRUE(test::waitFor(
        [&] {
            p.poll();
            return !p.active();
        },
        10s));
    EXPECT_EQ(p.error(), "");

    // What cannot be played says so: a missing file, a sink that is not there.
    const Status missing = p.start(dir.path() / "none.wav", 0);
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.error().find("none.wav"), std::string::npos) << missing.error();
    EXPECT_FALSE(p.active());
    RecordingPlayer nowhere("no-such-sink");
    EXPECT_FALSE(nowhere.start(wav, 0));
    EXPECT_FALSE(nowhere.active());
}

} // namespace
} // namespace kestle::review

namespace kestle::review {
namespace {

using namespace std::chrono_literals;

// At twice the speed the position runs twice as fast as the clock (the
// fake sink keeps time); a loop goes round its stretch instead of ending.
TEST(RecordingPlayer, PlaysFasterAndRoundALoop) {
    test::TempFolder dir;
    const auto wav = dir.path() / "night.wav";
    {
        const std::string samples(6 * 8000 * 2, '\0'); // 6 s, 8 kHz mono
        std::ofstream(wav, std::ios::binary)
            << capture::wavHeader(8000, 1, std::uint32_t(samples.size())) << samples;
    }
    RecordingPlayer p("fakesink");
    p.setSpeed(2);
    ASSERT_TRUE(p.start(wav, 0));
    std::optional<std::int64_t> first;
    ASSERT_TRUE(test::waitFor(
        [&] {
            p.poll();
            first = p.positionMs();
            return first.has_value() && *first > 0;
        },
        10s))
        << p.error();
    const auto t0 = std::chrono::steady_clock::now();
    std::int64_t later = *first;
    ASSERT_TRUE(test::waitFor(
        [&] {
            p.poll();
            later = p.positionMs().value_or(later);
            return later >= *first + 1000 || !p.active();
        },
        10s));
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    // A second of the file in well under a second of the clock (1x would need 1000 ms).
    EXPECT_LT(wall, 900) << later - *first << " ms of the file";
    p.stop();

    p.setSpeed(1);
    p.setLoop(std::pair<std::int64_t, std::int64_t>{1000, 1400});
    ASSERT_TRUE(p.start(wav, 0));
    std::int64_t highest = 0;
    bool wrapped = false;
    ASSERT_TRUE(test::waitFor(
        [&] {
            p.poll();
            if (auto at = p.positionMs()) {
                EXPECT_GE(*at, 900);
                EXPECT_LE(*at, 1500);
                wrapped = wrapped || (highest > 1250 && *at < 1150);
                highest = std::max(highest, *at);
            }
            return wrapped || !p.active();
        },
        10s));
    EXPECT_TRUE(wrapped);
    EXPECT_TRUE(p.active()) << "a loop does not end";
}

} // namespace
} // namespace kestle::review
