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
