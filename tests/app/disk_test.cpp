// SPDX-License-Identifier: GPL-3.0-or-later
// Disks that fail under a session: a read-only data folder, a read-only
// application folder, a full file system. Each says which file failed and
// why, keeps what was written, and the session goes on.
#include "app_run.h"
#include "fakes/folder_faults.h"

#include <unistd.h>

namespace kestle::app {
namespace {

using test::AppFolder;
using test::hasLine;
using test::lines;
namespace fs = std::filesystem;

const std::string kIni = "[NAG]\r\nNAGSCREEN=3\r\n";
const char* kQuestion = "click Option1(1)\ntype question Anyone here?\\r\\n\nwait 6000\n";

// What a write into a read-only folder fails with here.
std::string readOnlyReason() {
    return ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
}

// The session went on after `line`: words kept coming.
bool wordsAfter(const std::string& out, const std::string& line) {
    bool seen = false;
    for (const std::string& l : lines(out)) {
        seen = seen || l.starts_with(line);
        if (seen && l.starts_with("QUIET 1"))
            return true;
    }
    return false;
}

TEST(Disk, AReadOnlyDataFolderIsToldAndTheSessionGoesOn) {
    AppFolder app;
    app.setIni(kIni);
    fs::create_directories(app.data());
    test::writeFile(app.data() / "CV_data_file.csv", "rows of an earlier night\r\n");
    kestle::test::ReadOnlyFolder readOnly(app.data());
    ASSERT_EQ(readOnly.error(), "");
    auto s = app.run(kQuestion);
    EXPECT_EQ(s.rc, 0);
    const std::string told = "STATUS \"The data log could not be opened: Cannot open " +
                             (app.data() / "CV_data_file.csv").string() + ": " + readOnlyReason() +
                             "\"";
    EXPECT_TRUE(hasLine(s.out, told)) << s.out;
    EXPECT_TRUE(wordsAfter(s.out, told)) << s.out;
    EXPECT_EQ(app.dataLog(), "rows of an earlier night\r\n");
    EXPECT_NE(app.iniText().find("NAGSCREEN=4"), std::string::npos);
}

TEST(Disk, AReadOnlyApplicationFolderKeepsItsSettingsAndSaysTheyAreNotSaved) {
    AppFolder app;
    const fs::path data = app.dir().string() + "-data";
    app.setIni(kIni + "[VIDEO]\r\nV1=Hall\r\n");
    const std::string before = app.iniText();
    {
        kestle::test::ReadOnlyFolder readOnly(app.dir());
        ASSERT_EQ(readOnly.error(), "");
        auto s = app.run(std::string("click subhz\n") + kQuestion, {"--data-dir", data.string()});
        EXPECT_EQ(s.rc, 0);
        EXPECT_TRUE(hasLine(s.out, "STATUS \"The settings will not be saved at exit: "
                                   "cannot write in " +
                                       app.dir().string() + ": " + readOnlyReason() + "\""))
            << s.out;
        EXPECT_TRUE(
            hasLine(s.out, "MSGBOX \"The Kestle\" \"The settings could not be saved: Cannot "
                           "write " +
                               app.ini().string() + ": " + readOnlyReason() + "\""))
            << s.out;
        EXPECT_TRUE(wordsAfter(s.out, "STATUS")) << s.out;
    }
    EXPECT_EQ(app.iniText(), before);
    EXPECT_NE(test::readFile(data / "CV_data_file.csv").find("User: ,Anyone here?"),
              std::string::npos);
    fs::remove_all(data);
}

// The data log fills the disk in the middle of a night: the row that does
// not fit leaves nothing of itself, the rows before it stay, and the
// session goes on without the log.
TEST(Disk, AFullDiskCutsNoRowAndTheSessionGoesOn) {
    AppFolder app;
    app.setIni(kIni);
    kestle::test::FullFileSystem full(app.data());
    if (!full.error().empty())
        GTEST_SKIP() << full.error();
    // Room for the first rows beside the session's own journal and trace.
    full.fill(64 * 1024);
    ASSERT_EQ(full.error(), "");
    auto s = app.run("click Option1(7)\ntype question Anyone here?\\r\\n\nwait 60000\n");
    const std::string told = "MSGBOX \"The Kestle\" \"The data log was switched off because it "
                             "could not be written: Cannot write " +
                             (app.data() / "CV_data_file.csv").string() +
                             ": No space left on device\"";
    EXPECT_TRUE(hasLine(s.out, told)) << s.out;
    EXPECT_TRUE(wordsAfter(s.out, told)) << s.out;
    const std::string log = app.dataLog();
    EXPECT_TRUE(log.ends_with("\r\n\r\n")) << log.substr(log.size() > 300 ? log.size() - 300 : 0);
    // Every row whole: the header, the question line, then rows of 19 fields.
    int rows = 0;
    for (const std::string& l : lines(log)) {
        if (l == "\r" || l.find("User: ,") != std::string::npos || l.starts_with("Time ,"))
            continue;
        ++rows;
        EXPECT_EQ(std::count(l.begin(), l.end(), ','), 19) << l;
        EXPECT_TRUE(l.ends_with(",\r")) << l;
    }
    EXPECT_GE(rows, 5);
}

// The settings save on a full disk fails as a whole: the old file stays
// and nothing of the new one is left beside it.
TEST(Disk, ASaveOnAFullDiskKeepsTheOldSettings) {
    AppFolder app;
    const fs::path data = app.dir().string() + "-data";
    kestle::test::FullFileSystem full(app.dir());
    if (!full.error().empty())
        GTEST_SKIP() << full.error();
    app.setIni(kIni);
    full.fill(0);
    ASSERT_EQ(full.error(), "");
    auto s = app.run("click subhz\n", {"--data-dir", data.string()});
    EXPECT_TRUE(hasLine(s.out, "MSGBOX \"The Kestle\" \"The settings could not be saved: Cannot "
                               "write " +
                                   app.ini().string() + ": No space left on device\""))
        << s.out;
    EXPECT_EQ(app.iniText(), kIni);
    for (const auto& e : fs::directory_iterator(app.dir()))
        EXPECT_FALSE(e.path().filename().string().starts_with("Kestle.ini.tmp")) << e.path();
    fs::remove_all(data);
}

} // namespace
} // namespace kestle::app
