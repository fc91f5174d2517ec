// SPDX-License-Identifier: GPL-3.0-or-later
// Closing a review window while it still verifies a long bag: the window
// goes at once, its verification stopped between two chunks, instead of
// waiting for the whole bag to be hashed.
#include "fakes/hand_bag.h"
#include "fakes/temp_folder.h"
#include "ui/review_window.h"

#include <gtest/gtest.h>

#include <QTest>
#include <fstream>

namespace kestle::ui {
namespace {

namespace fs = std::filesystem;

// Bytes this process has read so far (read calls of every thread).
std::uint64_t bytesReadByThisProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

TEST(ReviewClose, ClosingTheWindowStopsTheVerificationOfALongBag) {
    test::TempFolder tmp;
    test::HandBag bag(tmp.path() / "bag");
    bag.file("data/journal.jsonl",
             "{\"t\":0,\"time\":\"2026-12-07T04:50:20\",\"event\":\"start\"}\n")
        .listed(std::string(64, '0') + "  data/captures/night.avi")
        .seal();
    constexpr std::uint64_t kHuge = 16ull << 30;
    bag.file("data/captures/night.avi", "");
    fs::resize_file(bag.dir() / "data/captures/night.avi", kHuge); // sparse: no disk used

    const std::uint64_t before = bytesReadByThisProcess();
    {
        ReviewWindow w(bag.dir());
        w.show();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return w.model() && bytesReadByThisProcess() - before > (64u << 20); }, 60000));
        EXPECT_FALSE(w.verified());
    }
    // Gone after at most a chunk or so more: nowhere near the whole file.
    EXPECT_LT(bytesReadByThisProcess() - before, kHuge / 4);
}

} // namespace
} // namespace kestle::ui
