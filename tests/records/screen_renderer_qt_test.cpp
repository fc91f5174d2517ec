// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/screen_renderer_qt.h"
#include "support/textfile.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <unistd.h>

namespace kestle::records {
namespace {

namespace fs = std::filesystem;

class QtScreenRendererTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_records";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
    ~QtScreenRendererTest() override { fs::remove_all(dir); }

    fs::path dir = fs::temp_directory_path() / ("kestle-render-" + std::to_string(::getpid()));
    bool made = (fs::remove_all(dir), fs::create_directories(dir));
    QtScreenRenderer renderer;
};

TEST_F(QtScreenRendererTest, ReplacesTheFileWithARealJpegOfTheCaptureSize) {
    const fs::path p = dir / "12_7_2026 4_50_20 AM_1 CVSCREEN.jpg";
    ASSERT_TRUE(writeFileBytesAtomic(p, "not a picture").ok());
    const Status s = renderer.render("User: hello\r\nsome words ", p);
    ASSERT_TRUE(s.ok()) << s.error();
    EXPECT_EQ(readFileBytes(p, std::uint64_t{1} << 30)->substr(0, 2), "\xFF\xD8");
    QImage back;
    ASSERT_TRUE(back.load(QString::fromStdString(p.string()), "JPG"));
    EXPECT_EQ(back.size(), QSize(573, 381));
}

TEST_F(QtScreenRendererTest, TheTextStartsAtTenTenOverTheBackground) {
    const QImage empty = renderer.picture("");
    const QImage text = renderer.picture("ECM words and more words\r\nsecond line");
    auto differs = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (empty.pixel(x, y) != text.pixel(x, y))
                    return true;
        return false;
    };
    EXPECT_FALSE(differs(0, 0, 10, 381));
    EXPECT_FALSE(differs(0, 0, 573, 10));
    EXPECT_TRUE(differs(10, 10, 200, 25));    // the first line
    EXPECT_TRUE(differs(10, 25, 200, 45));    // the second line, also from the left
    EXPECT_FALSE(differs(10, 200, 573, 381)); // and nothing further down
}

// A display as full as it gets before it pages (1400 characters, 15 line
// ends): the capture still holds its newest word.
TEST_F(QtScreenRendererTest, AFullDisplaysNewestWordIsInThePicture) {
    std::string full;
    for (int line = 0; line < 15; ++line)
        full += std::string(90, 'w').replace(10, 1, " ").replace(50, 1, " ") + "\r\n";
    full += "dug worm pie located specter ";
    const QImage without = renderer.picture(full);
    const QImage with = renderer.picture(full + "Zanzibar");
    int changedRows = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (without.pixel(x, y) != with.pixel(x, y)) {
                ++changedRows;
                break;
            }
    EXPECT_GT(changedRows, 5); // the word drawn, inside the picture
}

TEST_F(QtScreenRendererTest, AMissingFolderGivesAReasonAndLeavesNothing) {
    const Status s = renderer.render("text", dir / "gone" / "shot.jpg");
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.error(), "");
    EXPECT_FALSE(fs::exists(dir / "gone"));
}

} // namespace
} // namespace kestle::records
