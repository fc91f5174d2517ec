// SPDX-License-Identifier: GPL-3.0-or-later
// Capture files are always new: an existing name is never opened.
#include "capture/capture_controls.h"
#include "capture/capture_file.h"
#include "media_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kestle::capture::test {
namespace {

class CaptureFile : public ::testing::Test {
  protected:
    ~CaptureFile() override { fs::remove_all(dir); }
    fs::path dir = fs::temp_directory_path() / ("kestle-file-" + std::to_string(::getpid()));
    bool made = (fs::remove_all(dir), fs::create_directories(dir));
    void write(const fs::path& p, const std::string& bytes) { std::ofstream(p) << bytes; }
};

TEST_F(CaptureFile, AnExistingNameGetsTheNextFreeNumberAndKeepsItsFile) {
    const std::string night = (dir / "night.wav").string();
    write(night, "earlier recording");
    ::mkfifo((dir / "night (2).wav").c_str(), 0644); // would block an open for reading
    NewFile f = createCaptureFile(night);
    ASSERT_TRUE(f.ok()) << f.reason;
    ::close(f.fd);
    EXPECT_EQ(f.path, (dir / "night (3).wav").string());
    EXPECT_EQ(fileBytes(night), "earlier recording");
    EXPECT_EQ(numberedName("/a.b/c", 2), "/a.b/c (2)");
    EXPECT_EQ(numberedName("/a/.wav", 2), "/a/.wav (2)");

    write(dir / "shot.part", "new picture");
    std::string reason;
    EXPECT_EQ(publishFile((dir / "shot.part").string(), night, reason),
              (dir / "night (4).wav").string());
    EXPECT_EQ(fileBytes(night), "earlier recording");
    EXPECT_FALSE(fs::exists(dir / "shot.part"));
}

TEST_F(CaptureFile, WhatCannotBeMadeSaysWhyWithStartsStatus) {
    NewFile none = createCaptureFile("");
    EXPECT_EQ(none.status, kFileNotFound);
    NewFile missing = createCaptureFile((dir / "gone" / "a.wav").string());
    EXPECT_EQ(missing.status, kFileNotFound);
    EXPECT_EQ(missing.reason, "The folder " + (dir / "gone").string() + " does not exist");
    // Even for root nothing can be made in /sys.
    NewFile denied = createCaptureFile("/sys/a.wav");
    EXPECT_EQ(denied.status, kStartFailed);
    EXPECT_EQ(denied.reason, "Permission denied");
    EXPECT_FALSE(none.ok() || missing.ok() || denied.ok());
}

} // namespace
} // namespace kestle::capture::test
