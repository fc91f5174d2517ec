// SPDX-License-Identifier: GPL-3.0-or-later
// A bag's sound files are hostile until checked: WAV headers that lie or
// are cut short, links where a file should be, FIFOs, paths out of the bag.
#include "capture/wav_writer.h"
#include "fakes/temp_folder.h"
#include "review/bag_sound.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace kestle::review {
namespace {

namespace fs = std::filesystem;

std::string le32(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

TEST(WavLayout, HeadersThatLieOrAreCutShortAreReadSafely) {
    const std::string pcm = capture::wavHeader(44100, 1, 1000);
    auto w = parseWavLayout(pcm, 44 + 1000);
    ASSERT_TRUE(w) << w.error();
    EXPECT_EQ(w->rate, 44100);
    EXPECT_EQ(w->dataOffset, 44u);
    EXPECT_EQ(w->frames(), 500u);
    // A header a kill left provisional: the samples the file holds.
    auto killed = parseWavLayout(pcm.substr(0, 40) + le32(0x7FFF0000), 44 + 301);
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->dataBytes, 300u) << "whole frames only";
    // A chunk before the samples (odd-sized, padded) is stepped over.
    std::string list = pcm.substr(0, 36) + "LIST" + le32(3) + "abc" + '\0' + pcm.substr(36);
    auto listed = parseWavLayout(list, list.size() + 1000);
    ASSERT_TRUE(listed) << listed.error();
    EXPECT_EQ(listed->dataOffset, 56u);
    // What is refused, and why.
    EXPECT_FALSE(parseWavLayout("RIFF", 4));
    EXPECT_FALSE(parseWavLayout(pcm.substr(0, 30), 30));                    // format cut short
    EXPECT_FALSE(parseWavLayout(pcm.substr(0, 12) + pcm.substr(36), 1000)); // samples before format
    std::string floats = pcm;
    floats[20] = 3; // IEEE float, not integer PCM
    EXPECT_FALSE(parseWavLayout(floats, 1044));
    std::string noChannels = pcm;
    noChannels[22] = 0;
    EXPECT_FALSE(parseWavLayout(noChannels, 1044));
    // A chunk size that runs past everything ends the walk, not the program.
    std::string huge = pcm.substr(0, 36) + "junk" + le32(0xFFFFFFF0);
    EXPECT_FALSE(parseWavLayout(huge, huge.size()));
}

TEST(BagFile, OnlyRegularFilesInsideTheBagAreOpened) {
    test::TempFolder bag;
    fs::create_directories(bag.path() / "data/captures");
    std::ofstream(bag.path() / "data/captures/a.wav", std::ios::binary)
        << capture::wavHeader(8000, 1, 4) << std::string(4, '\x10');
    auto ok = openBagSound(bag.path(), "data/captures/a.wav");
    ASSERT_TRUE(ok) << ok.error();
    EXPECT_EQ((*ok)->frames(), 2u);
    std::vector<float> s(4);
    auto got = (*ok)->read(0, s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, 2u);
    EXPECT_FLOAT_EQ(s[0], float(0x1010) / 32768.0f);

    fs::create_symlink(bag.path() / "data/captures/a.wav", bag.path() / "data/captures/link.wav");
    fs::create_directory_symlink(bag.path() / "data/captures", bag.path() / "data/linked");
    ::mkfifo((bag.path() / "data/captures/fifo.wav").c_str(), 0600);
    for (const char* bad :
         {"data/captures/link.wav", "data/linked/a.wav", "data/captures/fifo.wav",
          "data/../data/captures/a.wav", "/etc/passwd", "data/captures/none.wav"}) {
        auto r = openBagFile(bag.path(), bad);
        EXPECT_FALSE(r) << bad;
        if (!r) {
            EXPECT_NE(r.error().find(bad), std::string::npos) << r.error();
        }
    }
    EXPECT_FALSE(openBagFile(bag.path(), "data/captures/a.wav", 10)) << "larger than allowed";
}

} // namespace
} // namespace kestle::review
