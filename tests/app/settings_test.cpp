// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file across whole sessions: the disclaimer counter, what a
// session stores, what the next one reads back, and the special keys.
#include "app_run.h"
#include "records/log_files.h"

#include <sys/wait.h>
#include <unistd.h>

namespace kestle::app {
namespace {

using test::AppFolder;
namespace fs = std::filesystem;
using test::hasLine;

std::string crlf(std::initializer_list<const char*> ls) {
    std::string s;
    for (const char* l : ls)
        s += std::string(l) + "\r\n";
    return s;
}

const std::string kScreen = crlf({"[SCREEN]", "TEXT=True"});
const std::string kRf = crlf({"[RF]", "HIGHHZ3=False", "HIGHHZ2=False", "HIGHHZ1=False",
                              "MIDHZ2=False", "MIDHZ1=False", "LOWMIDHZ=False", "LOWHZ3=False",
                              "LOWHZ2=False", "LOWHZ1=False", "LOWHZ=False", "SUBHZ=False"});
const std::string kVideo = crlf({"[VIDEO]", "V3=", "V2=", "V1="});
const std::string kAlarm =
    crlf({"[ALARM]",       "ALARM12V=",    "ALARM11V=",    "ALARM10V=",     "ALARM9V=",
          "ALARM8V=",      "ALARM7V=",     "ALARM6V=",     "ALARM5V=",      "ALARM4V=",
          "ALARM3V=",      "ALARM2V=",     "ALARM1V=",     "ALARM12=False", "ALARM11=False",
          "ALARM10=False", "ALARM9=False", "ALARM8=False", "ALARM7=False",  "ALARM6=False",
          "ALARM5=False",  "ALARM4=False", "ALARM3=False", "ALARM2=False",  "ALARM1=False"});
std::string nag(int n) {
    return "[NAG]\r\nNAGSCREEN=" + std::to_string(n) + "\r\n";
}
const std::string kTempMag = crlf({"[TEMP]", "CAL=0", "", "[MAG]", "CAL=mag"});

// The file a session writes when it starts without one: the sections in the
// order writeini first touches them, new keys on top of their section.
std::string freshFile(int counter) {
    return kScreen + "\r\n" + kRf + "\r\n" + kVideo + "\r\n" + kAlarm + "\r\n" + nag(counter) +
           "\r\n" + kTempMag;
}

const char* kAgree = "click frmSplash.Check2\nclick frmSplash.Command1\n";

std::string dataHeader() {
    return records::logHeader(records::Log::Data) + "\r\n";
}

TEST(Settings, FirstStartShowsTheDisclaimerAndStoresCounterOne) {
    AppFolder app;
    auto s = app.run(std::string("dump frmSplash\n") + kAgree + "dump mainform\ndump nag\n");
    EXPECT_EQ(s.rc, 0);
    EXPECT_TRUE(hasLine(s.out, "frmSplash: text=\"The Vantic Kestle\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "mainform: text=\"The Vantic Kestle Version 2.00\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "nag: 1"));
    EXPECT_EQ(app.iniText(), freshFile(1));
    EXPECT_EQ(app.dataLog(), dataHeader());
}

TEST(Settings, NextStartsGoStraightToTheMainWindowAndCountUp) {
    AppFolder app;
    app.run(kAgree);
    auto s = app.run("dump frmSplash\ndump mainform\ndump nag\ndump frmSplash.nag\n");
    EXPECT_TRUE(hasLine(s.out, "frmSplash: text=\"The Vantic Kestle\" visible=0"));
    EXPECT_TRUE(hasLine(s.out, "mainform: text=\"The Vantic Kestle Version 2.00\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "nag: 2"));
    EXPECT_TRUE(hasLine(s.out, "frmSplash.nag: 1"));
    EXPECT_EQ(app.iniText(), freshFile(2));
    app.run("");
    EXPECT_EQ(app.iniText(), freshFile(3));
    // Every start switches the data log on and writes one more header.
    EXPECT_EQ(app.dataLog(), dataHeader() + dataHeader() + dataHeader());
}

TEST(Settings, StoredCounterZeroShowsTheDisclaimerAndBecomesOne) {
    AppFolder app;
    app.setIni(nag(0));
    auto s = app.run(std::string("dump frmSplash\n") + kAgree + "dump nag\n");
    EXPECT_TRUE(hasLine(s.out, "frmSplash: text=\"The Vantic Kestle\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "nag: 1"));
    EXPECT_NE(app.iniText().find("[NAG]\r\nNAGSCREEN=1\r\n"), std::string::npos);
}

TEST(Settings, StoredCounter20OpensDirectlyAndComesBackToZero) {
    AppFolder app;
    app.setIni(nag(20));
    auto s = app.run("dump mainform\ndump nag\n");
    EXPECT_TRUE(hasLine(s.out, "mainform: text=\"The Vantic Kestle Version 2.00\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "nag: 0"));
    // The existing section keeps its place; the others follow it.
    EXPECT_EQ(app.iniText(), nag(0) + "\r\n" + kScreen + "\r\n" + kRf + "\r\n" + kVideo + "\r\n" +
                                 kAlarm + "\r\n" + kTempMag);
    const std::string stored = app.iniText();
    // So the following start shows the disclaimer again.
    s = app.run("dump frmSplash\n");
    EXPECT_TRUE(hasLine(s.out, "frmSplash: text=\"The Vantic Kestle\" visible=1"));
    EXPECT_EQ(app.iniText(), stored); // the script's end leaves without saving
}

TEST(Settings, DisagreeLeavesTheFileAsItWas) {
    AppFolder app;
    const std::string odd = "junk\n[NAG]\nNAGSCREEN=5\n\n\n"; // LF ends: nothing matches
    app.setIni(odd);
    auto s = app.run("click frmSplash.Command2\ndump nag\n");
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.out, ""); // the script stops with the application
    EXPECT_EQ(app.iniText(), odd);
    EXPECT_FALSE(fs::exists(app.data()));
}

TEST(Settings, DisagreeWithoutAFileLeavesItEmpty) {
    AppFolder app;
    auto s = app.run("click frmSplash.Command2\n");
    EXPECT_EQ(s.rc, 0);
    ASSERT_TRUE(fs::exists(app.ini()));
    EXPECT_EQ(fs::file_size(app.ini()), 0u);
}

TEST(Settings, EverySettingIsReadBackAndStoredUnchanged) {
    AppFolder app;
    const std::string file = crlf({"[SCREEN]",
                                   "TEXT=True",
                                   "",
                                   "[RF]",
                                   "HIGHHZ3=True",
                                   "HIGHHZ2=False",
                                   "HIGHHZ1=False",
                                   "MIDHZ2=False",
                                   "MIDHZ1=True",
                                   "LOWMIDHZ=False",
                                   "LOWHZ3=False",
                                   "LOWHZ2=False",
                                   "LOWHZ1=False",
                                   "LOWHZ=False",
                                   "SUBHZ=True",
                                   "",
                                   "[VIDEO]",
                                   "V3=/pictures/logo.bmp",
                                   "V2=",
                                   "V1=Caf\xE9 = \"night\"",
                                   "",
                                   "[ALARM]",
                                   "ALARM12V=",
                                   "ALARM11V=40",
                                   "ALARM10V=",
                                   "ALARM9V=",
                                   "ALARM8V=",
                                   "ALARM7V=",
                                   "ALARM6V=",
                                   "ALARM5V=",
                                   "ALARM4V=",
                                   "ALARM3V=2.5",
                                   "ALARM2V=",
                                   "ALARM1V=1.5",
                                   "ALARM12=True",
                                   "ALARM11=False",
                                   "ALARM10=False",
                                   "ALARM9=False",
                                   "ALARM8=False",
                                   "ALARM7=False",
                                   "ALARM6=False",
                                   "ALARM5=False",
                                   "ALARM4=False",
                                   "ALARM3=True",
                                   "ALARM2=False",
                                   "ALARM1=True",
                                   "",
                                   "[NAG]",
                                   "NAGSCREEN=4",
                                   "",
                                   "[TEMP]",
                                   "CAL=-3",
                                   "",
                                   "[MAG]",
                                   "CAL=7"});
    app.setIni(file);
    auto s = app.run("dump subhz\ndump midhz1\ndump lowhz\ndump highHZ3\ndump vid2.txtText\n"
                     "dump vid2.txtText2\ndump vid2.txtimage\ndump Alarm1\ndump alarm3\n"
                     "dump alarm12\ndump alarm2\ndump AvoltA\ndump AvfreqA\ndump AtempA\n"
                     "dump tcal\ndump mcal\ndump nag\ndump rfid\n");
    const char* expected[] = {
        "subhz: text=\"0 to 30 Hz\" checked=1 enabled=1 visible=1",
        "midhz1: text=\"1 to 5 Khz\" checked=1 enabled=1 visible=1",
        "lowhz: text=\"30 to 60 Hz\" checked=0 enabled=1 visible=1",
        "highHZ3: text=\"Above 25 KHz\" checked=1 enabled=1 visible=1",
        "vid2.txtText: text=\"Caf\xC3\xA9 = \\\"night\\\"\" color=FFFFFF enabled=1 visible=1",
        "vid2.txtText2: text=\"\" color=FFFFFF enabled=1 visible=1",
        "vid2.txtimage: text=\"/pictures/logo.bmp\" color=FFFFFF enabled=1 visible=1",
        "Alarm1: text=\"Voltage above\" checked=1 enabled=1 visible=1",
        "alarm3: text=\"Frequency Above\" checked=1 enabled=1 visible=1",
        "alarm12: text=\"Temperature Below\" checked=1 enabled=1 visible=1",
        "alarm2: text=\"Voltage below\" checked=0 enabled=1 visible=1",
        "AvoltA: \"1.5\"",
        "AvfreqA: \"2.5\"",
        "AtempA: \"40\"",
        "tcal: -3",
        "mcal: \"7\"",
        "nag: 5",
        "rfid: 6", // the start value, whatever the restored ticks
    };
    for (const char* l : expected)
        EXPECT_TRUE(hasLine(s.out, l)) << l << "\n" << s.out;
    std::string stored = file;
    stored.replace(stored.find("NAGSCREEN=4"), 11, "NAGSCREEN=5");
    EXPECT_EQ(app.iniText(), stored);
}

TEST(Settings, ValuesThatCannotBeConvertedLeaveTheirTargetsAlone) {
    AppFolder app;
    app.setIni(crlf({"[RF]", "SUBHZ=maybe", "LOWHZ=true", "LOWHZ1=-1", "LOWHZ2=0", "LOWHZ3=FALSE",
                     "LOWMIDHZ=", "[TEMP]", "CAL=abc", "[NAG]", "NAGSCREEN=40000"}));
    // 40000 does not fit the counter: the disclaimer comes up.
    auto s = app.run(std::string(kAgree) +
                     "dump subhz\ndump lowhz\ndump lowhz1\ndump lowhz2\ndump lowhz3\n"
                     "dump tcal\ndump nag\n");
    for (const char* l :
         {"subhz: text=\"0 to 30 Hz\" checked=0 enabled=1 visible=1",
          "lowhz: text=\"30 to 60 Hz\" checked=1 enabled=1 visible=1",
          "lowhz1: text=\"60 to 120 Hz\" checked=1 enabled=1 visible=1",
          "lowhz2: text=\"120 to 240 Hz\" checked=0 enabled=1 visible=1",
          "lowhz3: text=\"240 to 500 Hz\" checked=0 enabled=1 visible=1", "tcal: 0", "nag: 1"})
        EXPECT_TRUE(hasLine(s.out, l)) << l << "\n" << s.out;
    const std::string stored = app.iniText();
    EXPECT_NE(stored.find("\r\nSUBHZ=False\r\n"), std::string::npos);
    EXPECT_NE(stored.find("\r\nLOWHZ1=True\r\n"), std::string::npos);
    EXPECT_NE(stored.find("[TEMP]\r\nCAL=0\r\n"), std::string::npos);
    EXPECT_NE(stored.find("[NAG]\r\nNAGSCREEN=1\r\n"), std::string::npos);
}

TEST(Settings, TemperatureOffsetRoundsHalfToEven) {
    AppFolder app;
    app.setIni(nag(3) + "[TEMP]\r\nCAL=2.5\r\n");
    auto s = app.run("dump tcal\n");
    EXPECT_TRUE(hasLine(s.out, "tcal: 2"));
}

struct MagCase {
    const char* stored;
    const char* kept;
};
class MagCal : public testing::TestWithParam<MagCase> {};

TEST_P(MagCal, OnlyANonZeroNumberIsKept) {
    AppFolder app;
    const std::string line = GetParam().stored ? std::string("CAL=") + GetParam().stored : "";
    app.setIni(nag(3) + "[MAG]\r\n" + line + "\r\n");
    auto s = app.run("dump mcal\n");
    EXPECT_TRUE(hasLine(s.out, std::string("mcal: \"") + GetParam().kept + "\"")) << s.out;
    EXPECT_NE(app.iniText().find(std::string("[MAG]\r\nCAL=") + GetParam().kept + "\r\n"),
              std::string::npos)
        << app.iniText();
}

INSTANTIATE_TEST_SUITE_P(Values, MagCal,
                         testing::Values(MagCase{"abc", "mag"}, MagCase{"0", "mag"},
                                         MagCase{"", "mag"}, MagCase{nullptr, "mag"},
                                         MagCase{"0.0", "mag"}, MagCase{"12.5", "12.5"},
                                         MagCase{"-3", "-3"}, MagCase{"1.2.3", "mag"}));

struct ScreenCase {
    const char* stored; // nullptr: no key at all
    bool checked, shown;
    const char* written;
};
class ScreenText : public testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenText, SetsTheReviewItemAndTheBox) {
    const auto& c = GetParam();
    AppFolder app;
    app.setIni(nag(3) + (c.stored ? std::string("[SCREEN]\r\nTEXT=") + c.stored + "\r\n" : ""));
    auto s = app.run("dump logtext\ndump veiwlog\n");
    const std::string check = c.checked ? "1" : "0";
    const std::string shown = c.shown ? "1" : "0";
    EXPECT_TRUE(hasLine(s.out, "logtext: text=\"Review Screen text\" checked=" + check +
                                   " enabled=1 visible=1"))
        << s.out;
    EXPECT_NE(s.out.find("veiwlog: text=\"\" color=FFFFFF enabled=1 visible=" + shown),
              std::string::npos)
        << s.out;
    EXPECT_NE(app.iniText().find(std::string("[SCREEN]\r\nTEXT=") + c.written + "\r\n"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Values, ScreenText,
                         testing::Values(ScreenCase{"", true, true, "True"},
                                         ScreenCase{nullptr, true, true, "True"},
                                         ScreenCase{"False", false, false, "False"},
                                         ScreenCase{"0", false, false, "False"},
                                         ScreenCase{"TRUE", true, true, "True"},
                                         // Unreadable: the design-time tick (none) stays.
                                         ScreenCase{"yes", false, false, "False"}));

TEST(Settings, DataLogIsOnAfterEveryStartEvenWhenSwitchedOff) {
    AppFolder app;
    app.setIni(nag(3));
    app.run("click logfileon\ndump logfileon\n");
    auto s = app.run("dump logfileon\ndump appath\n");
    EXPECT_TRUE(hasLine(s.out, "logfileon: text=\"Data Log On\" checked=1 enabled=1 visible=1"))
        << s.out;
    EXPECT_TRUE(hasLine(s.out, "appath: \"" + app.data().string() + "/\""));
    EXPECT_EQ(app.dataLog(), dataHeader() + dataHeader());
}

TEST(Settings, AStartWhoseDataFolderCannotBeMadeStillLoads) {
    AppFolder app;
    app.setIni(nag(3));
    test::writeFile(app.dir() / "blocker", "a file, not a folder");
    auto s = app.run("dump mainform\ndump nag\ndump logfileon\n",
                     {"--data-dir", (app.dir() / "blocker" / "data").string()});
    EXPECT_EQ(s.rc, 0);
    EXPECT_TRUE(hasLine(s.out, "mainform: text=\"The Vantic Kestle Version 2.00\" visible=1"));
    EXPECT_TRUE(hasLine(s.out, "nag: 4"));
    EXPECT_TRUE(hasLine(s.out, "logfileon: text=\"Data Log On\" checked=0 enabled=1 visible=1"))
        << s.out;
    EXPECT_NE(app.iniText().find("NAGSCREEN=4"), std::string::npos);
}

// A value holding a lone CR or LF is one line of the file to the reader; the
// save used to replace only its first part, so the rest came back once more
// at every start (2, 4, 8 copies).
TEST(Settings, AValueWithALoneCrOrLfIsStoredOnceWhateverTheStarts) {
    for (const char* value : {"a\rb", "a\nb"}) {
        SCOPED_TRACE(value);
        AppFolder app;
        app.setIni(nag(3) + "[ALARM]\r\nALARM4V=" + value + "\r\n");
        app.run("");
        const std::string first = app.iniText();
        EXPECT_NE(first.find(std::string("ALARM4V=") + value + "\r\n"), std::string::npos);
        for (int start = 2; start <= 4; ++start) {
            app.run("");
            const std::string text = app.iniText();
            EXPECT_EQ(text.size(), first.size()) << "start " << start;
            EXPECT_EQ(text.find("ALARM4V="), text.rfind("ALARM4V=")) << "start " << start;
            EXPECT_NE(text.find(std::string("ALARM4V=") + value + "\r\n"), std::string::npos);
        }
    }
}

// Kestle.ini as a link to an endless device: read until the memory ran out.
// Now the start goes on with the defaults and says why, the save says why
// too, and the link is left as it is.
TEST(Settings, ASettingsFileThatIsADeviceIsNeitherReadNorReplaced) {
    for (const char* device : {"/dev/zero", "/dev/full"}) {
        SCOPED_TRACE(device);
        AppFolder app;
        fs::create_symlink(device, app.ini());
        // Without the counter the disclaimer comes first.
        auto s = app.run(std::string(kAgree) + "dump nag\ndump mcal\n");
        EXPECT_EQ(s.rc, 0);
        const std::string why = "Cannot read " + app.ini().string() + ": it is not a regular file";
        EXPECT_TRUE(hasLine(s.out, "STATUS \"The settings could not be read; the "
                                   "program goes on with its default settings: " +
                                       why + "\""))
            << s.out;
        EXPECT_TRUE(hasLine(s.out, "nag: 1") && hasLine(s.out, "mcal: \"mag\"")) << s.out;
        EXPECT_TRUE(hasLine(
            s.out, "MSGBOX \"The Kestle\" \"The settings could not be saved: " + why + "\""))
            << s.out;
        EXPECT_EQ(fs::read_symlink(app.ini()), device);
    }
}

// A save killed before its rename leaves its temporary file; the next start
// clears it away.
TEST(Settings, AStartRemovesWhatAKilledSaveLeftBehind) {
    AppFolder app;
    app.setIni(nag(3));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const fs::path left = app.dir() / ("Kestle.ini.tmp" + std::to_string(child) + "-0");
    test::writeFile(left, "[NAG]\r\nNAGS");
    app.run("");
    EXPECT_FALSE(fs::exists(left));
    EXPECT_NE(app.iniText().find("NAGSCREEN=4"), std::string::npos);
}

} // namespace
} // namespace kestle::app
