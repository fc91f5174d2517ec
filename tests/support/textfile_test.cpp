// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/textfile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestle {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr std::uint64_t kLimit = 1 << 20;

class TextFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kestle-textfile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

void putFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string fileBytes(const fs::path& p) {
    auto r = readFileBytes(p, kLimit);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : std::string();
}

TEST_F(TextFile, ReadsBytesAsTheyAre) {
    const std::string bytes("a\r\nb\0\x92\xFF\n", 8);
    putFile(dir_ / "raw.bin", bytes);
    EXPECT_EQ(fileBytes(dir_ / "raw.bin"), bytes);
    putFile(dir_ / "empty", "");
    EXPECT_EQ(fileBytes(dir_ / "empty"), "");
}

TEST_F(TextFile, ReadErrorsNameTheFileAndTheReason) {
    const auto missing = readFileBytes(dir_ / "missing.txt", kLimit);
    ASSERT_FALSE(missing.ok());
    EXPECT_THAT(missing.error(), HasSubstr((dir_ / "missing.txt").string()));
    EXPECT_THAT(missing.error(), HasSubstr(std::strerror(ENOENT)));
    const auto folder = readFileBytes(dir_, kLimit);
    ASSERT_FALSE(folder.ok());
    EXPECT_THAT(folder.error(), HasSubstr(std::strerror(EISDIR)));
}

TEST_F(TextFile, AtomicWriteCreatesAndReplaces) {
    const fs::path p = dir_ / "Kestle.ini";
    ASSERT_TRUE(writeFileBytesAtomic(p, "[RF]\r\nSUBHZ=True\r\n"));
    EXPECT_EQ(fileBytes(p), "[RF]\r\nSUBHZ=True\r\n");
    ASSERT_TRUE(writeFileBytesAtomic(p, "x"));
    EXPECT_EQ(fileBytes(p), "x");
    ASSERT_TRUE(writeFileBytesAtomic(p, ""));
    EXPECT_EQ(fileBytes(p), "");
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(TextFile, AtomicWriteKeepsPermissions) {
    const fs::path p = dir_ / "perm.txt";
    putFile(p, "old");
    ::chmod(p.c_str(), 0640);
    ASSERT_TRUE(writeFileBytesAtomic(p, "new"));
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(TextFile, AtomicWriteFailureLeavesNoTrace) {
    // A folder in the way of the rename: the temporary file must go again.
    const fs::path blocked = dir_ / "blocked";
    fs::create_directories(blocked / "inside");
    const Status s = writeFileBytesAtomic(blocked, "data");
    ASSERT_FALSE(s.ok());
    EXPECT_THAT(s.error(), HasSubstr(blocked.string()));
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    const fs::path noFolder = dir_ / "absent" / "file.txt";
    const Status s2 = writeFileBytesAtomic(noFolder, "data");
    ASSERT_FALSE(s2.ok());
    EXPECT_THAT(s2.error(), HasSubstr(noFolder.string()));
    EXPECT_THAT(s2.error(), HasSubstr(std::strerror(ENOENT)));
}

TEST(SplitLines, CrLfAndLfEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitLines(""), V{});
    EXPECT_EQ(splitLines("a"), V{"a"});
    EXPECT_EQ(splitLines("a\r\n"), V{"a"});
    EXPECT_EQ(splitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\nb\n"), (V{"a", "b"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(splitLines("\n"), V{""});
    EXPECT_EQ(splitLines("\r\n\n"), (V{"", ""}));
}

TEST(SplitLines, LoneCrStaysInTheLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitLines("a\rb\r\nc"), (V{"a\rb", "c"}));
    EXPECT_EQ(splitLines("a\r"), V{"a\r"});
    EXPECT_EQ(splitLines("a\r\r\n"), V{"a\r"});
}

TEST_F(TextFile, AppendFileEncodesAndEndsLines) {
    const fs::path p = dir_ / "log.csv";
    putFile(p, "old\r\n");
    {
        AppendFile f;
        EXPECT_FALSE(f.isOpen());
        ASSERT_TRUE(f.open(p));
        EXPECT_TRUE(f.isOpen());
        EXPECT_EQ(f.path(), p);
        ASSERT_TRUE(f.write("i\xE2\x80\x99m "));
        ASSERT_TRUE(f.write("no end, ", false));
        ASSERT_TRUE(f.write("\xE6\x97\xA5"));
        // Each write is visible before the file is closed.
        EXPECT_EQ(fileBytes(p), "old\r\ni\x92m \r\nno end, ?\r\n");
    }
    AppendFile again;
    ASSERT_TRUE(again.open(p));
    ASSERT_TRUE(again.write("more"));
    again.close();
    EXPECT_FALSE(again.isOpen());
    EXPECT_EQ(fileBytes(p), "old\r\ni\x92m \r\nno end, ?\r\nmore\r\n");
}

TEST_F(TextFile, AppendFileReportsFailures) {
    AppendFile f;
    EXPECT_FALSE(f.write("x").ok());

    const Status opened = f.open(dir_ / "absent" / "log.csv");
    ASSERT_FALSE(opened.ok());
    EXPECT_THAT(opened.error(), HasSubstr((dir_ / "absent" / "log.csv").string()));
    EXPECT_THAT(opened.error(), HasSubstr(std::strerror(ENOENT)));
    EXPECT_FALSE(f.isOpen());

    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(f.open("/dev/full"));
    const Status full = f.write("line");
    ASSERT_FALSE(full.ok());
    EXPECT_THAT(full.error(), HasSubstr("/dev/full"));
    EXPECT_THAT(full.error(), HasSubstr(std::strerror(ENOSPC)));
    EXPECT_FALSE(f.write("again", false).ok()); // still failing, not silently buffered
}

// What is no regular file is refused before a byte is read: an endless
// source fills no memory, a FIFO without a writer blocks nothing.
TEST_F(TextFile, ReadRefusesEndlessSourcesAndOversizedFiles) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir_ / "zero-link");
    for (const fs::path& p : {fifo, dir_ / "zero-link", fs::path("/dev/zero")}) {
        const auto r = readFileBytes(p, kLimit);
        ASSERT_FALSE(r.ok()) << p;
        EXPECT_EQ(r.error(), "Cannot read " + p.string() + ": it is not a regular file");
    }
    putFile(dir_ / "big", std::string(101, 'x'));
    const auto big = readFileBytes(dir_ / "big", 100);
    ASSERT_FALSE(big.ok());
    EXPECT_EQ(big.error(),
              "Cannot read " + (dir_ / "big").string() + ": it is larger than 100 bytes");
    EXPECT_EQ(fileBytes(dir_ / "big").size(), 101u); // within the limit it reads
}

// A save killed between creating its temporary file and renaming it leaves
// the file behind; the next start removes those of processes that are gone.
TEST_F(TextFile, TemporariesOfEndedProcessesAreRemoved) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const fs::path p = dir_ / "Kestle.ini";
    const std::string dead = "Kestle.ini.tmp" + std::to_string(child);
    const std::vector<std::string> kept = {
        "Kestle.ini.tmp1-0", // a running process (init) may be saving now
        "Kestle.ini.tmp" + std::to_string(::getpid()) + "-7", "Kestle.ini.tmpx-1",
        "Kestle.ini.tmp" + std::to_string(child) + "-",
        "Other.ini.tmp" + std::to_string(child) + "-1"};
    for (const std::string& n : kept)
        putFile(dir_ / n, "keep");
    putFile(dir_ / (dead + "-0"), "half");
    putFile(dir_ / (dead + "-12"), "");
    EXPECT_EQ(removeStaleTemporaries(p), 2);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir_))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> want = kept;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);
}

} // namespace
} // namespace kestle
