// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/file_names.h"

#include <gtest/gtest.h>

namespace kestle {
namespace {

TEST(FileCounter, CountsFromOneAndWrapsInsteadOfOverflowing) {
    std::int16_t c = 0;
    EXPECT_EQ(nextFileCounter(c), 1);
    c = 32766;
    EXPECT_EQ(nextFileCounter(c), 32767);
    EXPECT_EQ(nextFileCounter(c), 1);
    EXPECT_EQ(c, 1);
    c = -5;
    EXPECT_EQ(nextFileCounter(c), 1);
}

TEST(CaptureFileName, JoinsTheFolderStampCounterAndSuffixWithNothingBetween) {
    const std::string appath = appathText("/data");
    EXPECT_EQ(appath, "/data/");
    EXPECT_EQ(appathText("/data/"), "/data/");
    EXPECT_EQ(captureFileName(appath, "12_7_2026 4_50_20 AM", 3, "Video_Capture.AVI"),
              "/data/12_7_2026 4_50_20 AM_3Video_Capture.AVI");
}

} // namespace
} // namespace kestle
