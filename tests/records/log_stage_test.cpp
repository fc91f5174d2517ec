// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_rig.h"

#include <csignal>
#include <sys/resource.h>

namespace kestle::records::test {
namespace {

const std::string kCommon = "Time ,Ch A, Ch B , Threshold , Trend , Ch A VDC ,Ch B VDC ,Ch A Freq "
                            ",Ch B Freq ,RF ID ,Data,Temp,Humidity ,";
const std::string kDataHeader = kCommon + "EMFA ,EMFB ,EMFC ,EMFD ,EMFE ,EMFFA ,\r\n\r\n";
const std::string kRfHeader = kCommon + "IR Light Level ,EMF,\r\n\r\n";

// The row of typicalReadings() with `word` in field 11.
std::string row(const std::string& word = "", const std::string& ava1 = "520") {
    return kStamp + ", " + ava1 + ", 550, 1.31 VDC, +, 2.54 VDC, 2.69 VDC,  266 Hz, 30 Hz,6," +
           word + ",69. F,Hum,1.5 mG,. mG, 2.625 mG, 0 mG,-2.73 mG,-0.42 mG,\r\n\r\n";
}

class LogStage : public RecordsTest {
  protected:
    void SetUp() override { typicalReadings(); }
};

TEST_F(LogStage, EverySwitchOnAppendsAHeaderToWhatIsThere) {
    std::ofstream(logPath(Log::Data), std::ios::binary) << "earlier\r\n";
    f.logfileon->click();
    f.logfilerf->click();
    f.logalarm->click();
    f.logfileon->click();
    EXPECT_FALSE(f.logfileon->checked() || logs.isOpen(Log::Data));
    f.logfileon->click();
    EXPECT_TRUE(f.logfileon->checked() && f.logfilerf->checked() && f.logalarm->checked());
    EXPECT_EQ(fileText(logPath(Log::Data)), "earlier\r\n" + kDataHeader + kDataHeader);
    EXPECT_EQ(fileText(logPath(Log::RfThreshold)), kRfHeader);
    EXPECT_EQ(fileText(logPath(Log::Alarm)), "\r\n Alarms Log File!\r\n");
    EXPECT_EQ(st.appath, appath);
}

TEST_F(LogStage, RowsKeepEveryDigitAndAnEmptyWordLeavesTwoCommas) {
    f.logfileon->click();
    word = "hello ";
    rec.logStage();
    word = "";
    st.ava1 = 520.583333333333;
    rec.logStage();
    EXPECT_EQ(fileText(logPath(Log::Data)),
              kDataHeader + row("hello ") + row("", "520.583333333333"));
    EXPECT_THAT(fileText(logPath(Log::Data)), HasSubstr(",6,,69. F,"));
}

TEST_F(LogStage, EachCallWritesIntoExactlyOneLogAndAnOffLogLosesItsRow) {
    f.logfileon->click();
    f.logfilerf->click();
    struct Case {
        std::optional<int> nochange, rfhit;
        bool toData;
    } cases[] = {{0, 0, true},  {0, 1, false},  {1, 0, false},
                 {{}, 0, true}, {{}, 2, false}, {{}, {}, true}};
    std::string data = kDataHeader, rf = kRfHeader;
    for (const Case& c : cases) {
        st.nochange = c.nochange, st.rfhit = c.rfhit;
        rec.logStage();
        (c.toData ? data : rf) += row();
        EXPECT_EQ(fileText(logPath(Log::Data)), data);
        EXPECT_EQ(fileText(logPath(Log::RfThreshold)), rf);
    }
    f.logfileon->click();
    st.nochange = 0, st.rfhit = 0;
    rec.logStage(); // due in the data log, which is off: not diverted
    EXPECT_EQ(fileText(logPath(Log::RfThreshold)), rf);
}

TEST_F(LogStage, QuestionLinesStandBetweenTheRowsWhileTheDataLogIsOn) {
    f.logfileon->click();
    rec.logStage();
    rec.writeQuestionLine("Is anyone here?\r\n");
    f.logfileon->click();
    rec.writeQuestionLine("again\r\n");
    EXPECT_EQ(fileText(logPath(Log::Data)),
              kDataHeader + row() + kStamp +
                  ", NA, NA, NA, NA, NA, NA, NA,NA,User: ,Is anyone here?\r\n\r\n\r\n");
}

using LogFailures = RecordsTest;

// At start-up too: a night without its data log must not go unnoticed. It is
// said in the status line there, with no dialog in the way of the start.
TEST_F(LogFailures, ALogThatCannotBeOpenedStaysOffAndSaysWhyEvenAtStartUp) {
    fs::remove_all(data);
    std::ofstream(data) << "a file where the folder should be";
    rec.startDataLog();
    f.logfilerf->click();
    f.logalarm->click();
    EXPECT_FALSE(f.logfileon->checked() || f.logfilerf->checked() || f.logalarm->checked());
    EXPECT_THAT(host.statuses, ElementsAre(HasSubstr("CV_data_file.csv: Not a directory")));
    EXPECT_THAT(host.messages,
                ElementsAre("The Kestle|The RF / threshold log could not be opened: Cannot open " +
                                (data / "CV_rf_threshold.csv").string() + ": Not a directory",
                            HasSubstr("CV_Alarm_Log.TXT: Not a directory")));
}

TEST_F(LogFailures, AHeaderThatCannotBeWrittenLeavesTheItemOff) {
    fs::create_symlink("/dev/full", logPath(Log::Data));
    f.logfileon->click();
    EXPECT_FALSE(f.logfileon->checked());
    EXPECT_THAT(host.messages, ElementsAre(HasSubstr("CV_data_file.csv: No space left on device")));
}

// No file may grow more than `room` bytes past its current size while this
// lives, as on a full disk.
struct FullDisk {
    explicit FullDisk(const fs::path& file, std::uintmax_t room = 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit r = old;
        r.rlim_cur = static_cast<rlim_t>(fs::file_size(file) + room);
        ::setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};

TEST_F(LogFailures, AFullDiskSwitchesTheLogOffOnceKeepsItsRowsAndTheSessionGoesOn) {
    typicalReadings();
    f.logfileon->click();
    rec.logStage();
    {
        FullDisk full(logPath(Log::Data));
        rec.logStage();
        rec.logStage();
        rec.writeQuestionLine("q\r\n");
    }
    EXPECT_FALSE(f.logfileon->checked());
    EXPECT_THAT(host.messages, ElementsAre("The Kestle|The data log was switched off because it "
                                           "could not be written: Cannot write " +
                                           logPath(Log::Data).string() + ": File too large"));
    EXPECT_EQ(fileText(logPath(Log::Data)), kDataHeader + row());
    setLimit(0, "2.5");
    rec.alarmStage();
    EXPECT_NE(f.alarmdisplay->text(), "");
    f.logfileon->click();
    EXPECT_TRUE(f.logfileon->checked());
}

// A disk that fills up in the middle of a row takes what fits; the row must
// reach the file whole or not at all, so the log never ends mid-field.
TEST_F(LogFailures, ARowThatDoesNotFitLeavesNoPartOfItBehind) {
    typicalReadings();
    f.logfileon->click();
    rec.logStage();
    const auto size = fs::file_size(logPath(Log::Data));
    for (std::uintmax_t room : {std::uintmax_t{1}, std::uintmax_t{76}, row().size() - 1}) {
        SCOPED_TRACE(room);
        f.logfileon->setChecked(true);
        ASSERT_TRUE(logs.open(Log::Data, data));
        fs::resize_file(logPath(Log::Data), size);
        {
            FullDisk full(logPath(Log::Data), room);
            rec.logStage();
        }
        EXPECT_FALSE(f.logfileon->checked());
        EXPECT_EQ(fileText(logPath(Log::Data)), kDataHeader + row());
    }
}

TEST_F(LogFailures, ARemovedFolderSwitchesTheLogsOffWithOneMessageEach) {
    typicalReadings();
    setLimit(0, "2.5");
    setLimit(11, "70");
    f.logfilerf->click();
    f.logalarm->click();
    st.nochange = 1;
    fs::remove_all(data);
    rec.logStage();
    rec.alarmStage(); // two alarms trip
    EXPECT_FALSE(f.logfilerf->checked() || f.logalarm->checked());
    EXPECT_THAT(host.messages, ElementsAre(HasSubstr("CV_rf_threshold.csv: the file is gone"),
                                           HasSubstr("CV_Alarm_Log.TXT: the file is gone")));
    EXPECT_THAT(f.alarmdisplay->text(), HasSubstr("Temperature Below"));
}

} // namespace
} // namespace kestle::records::test
