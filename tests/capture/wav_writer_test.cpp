// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV writer's header always states what the file holds.
#include "capture/wav_writer.h"
#include "media_check.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kestle::capture::test {
namespace {

class WavFile : public ::testing::Test {
  protected:
    ~WavFile() override { fs::remove(path); }
    WavWriter open() {
        return WavWriter(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), path.string(),
                         44100, 1);
    }
    fs::path path =
        fs::temp_directory_path() / ("kestle-wav-" + std::to_string(::getpid()) + ".wav");
    std::vector<std::int16_t> block = std::vector<std::int16_t>(1000, 1234);
};

TEST_F(WavFile, TheHeaderIsExactAfterEveryStep) {
    WavWriter w = open();
    ASSERT_TRUE(w.begin().ok());
    Wav r = readWav(path);
    EXPECT_TRUE(r.exact());
    EXPECT_EQ(r.dataSize, 0u);
    ASSERT_TRUE(w.append(block.data(), 2000).ok());
    ASSERT_TRUE(w.append(block.data(), 2000).ok());
    r = readWav(path);
    EXPECT_TRUE(r.exact());
    EXPECT_EQ(r.samples.size(), 2000u);
    EXPECT_EQ(r.rate, 44100u);
    EXPECT_EQ(r.channels, 1);
    EXPECT_EQ(r.bits, 16);
    EXPECT_EQ(r.samples[1999], 1234);
    ASSERT_TRUE(w.finish().ok());
    EXPECT_TRUE(readWav(path).exact());
    EXPECT_FALSE(w.append(block.data(), 2).ok());
    EXPECT_DOUBLE_EQ(w.seconds(), 2000.0 / 44100);
    // The length the header states, as a review reads it.
    std::string head(kWavHeaderBytes, '\0');
    std::ifstream(path, std::ios::binary).read(head.data(), std::streamsize(head.size()));
    EXPECT_EQ(wavDurationMs(head), 2000 * 1000 / 44100);
    EXPECT_FALSE(wavDurationMs(head.substr(0, 40)));
    EXPECT_FALSE(wavDurationMs(wavHeader(0, 1, 10)));
}

TEST_F(WavFile, AFullDiskKeepsWholeSamplesStatedAndRefusesMore) {
    WavWriter w = open();
    ASSERT_TRUE(w.begin().ok());
    // The file may not grow beyond 44 + 3001 bytes: the fourth block is cut
    // off in the middle of a sample.
    auto old = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{44 + 3001, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    Status last;
    for (int i = 0; i < 4 && last.ok(); ++i)
        last = w.append(block.data(), 1000);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old);

    EXPECT_FALSE(last.ok());
    EXPECT_EQ(last.error(), "File too large");
    EXPECT_FALSE(w.append(block.data(), 2).ok());
    (void)w.finish();
    const Wav r = readWav(path);
    EXPECT_EQ(r.fileSize, 44u + 3001);
    EXPECT_EQ(r.dataSize, 3000u); // the odd byte is not stated
    EXPECT_EQ(r.riffSize, 3000u + 36);
}

} // namespace
} // namespace kestle::capture::test
