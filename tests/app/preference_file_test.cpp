// SPDX-License-Identifier: GPL-3.0-or-later
// The preferences file read without the toolkit: it must find the file
// QSettings writes and make of each line what QSettings makes of it.
#include "app/preference_file.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kestle::app {
namespace {

namespace fs = std::filesystem;

class Preferences : public ::testing::Test {
  protected:
    ~Preferences() override { fs::remove_all(dir); }
    fs::path write(const std::string& text) {
        fs::create_directories(dir);
        const fs::path p = dir / ("case" + std::to_string(++n) + ".ini");
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    fs::path dir = fs::temp_directory_path() / ("kestle-prefs-" + std::to_string(::getpid()));
    int n = 0;
};

TEST_F(Preferences, PreRollIsZeroToSixtySecondsAsQSettingsReadsItElseFive) {
    const struct {
        const char* text;
        int want;
    } cases[] = {
        {"", 5},
        {"[capture]\nalarmPreRollSeconds=0\n", 0},
        {"[view]\nnight=true\n\n[capture]\nalarmPreRollSeconds=60\n", 60},
        {"[capture]\r\nalarmPreRollSeconds = 12 \r\n", 12},
        {"[capture]\nalarmPreRollSeconds=\"9\"\n", 9},
        {"[capture]\nalarmPreRollSeconds=+7\n", 7},
        {"[capture]\nalarmPreRollSeconds=7 ; seven\n", 7},
        {"[capture]\nalarmPreRollSeconds=\"7\" ; seven\n", 7},
        {"[capture]\nalarmPreRollSeconds=7, 6\n", 5},
        {"; note\n[capture]\n;alarmPreRollSeconds=4\nalarmPreRollSeconds=6\n", 6},
        {"[capture]\nalarmPreRollSeconds=3\nalarmPreRollSeconds=8\n", 8},
        {"[capture]\nalarmPreRollSeconds=61\n", 5},
        {"[capture]\nalarmPreRollSeconds=-1\n", 5},
        {"[capture]\nalarmPreRollSeconds=ten\n", 5},
        {"[capture]\nalarmPreRollSeconds=2.5\n", 5},
        {"[capture]\nalarmPreRollSeconds=7s\n", 5},
        {"[capture]\nalarmPreRollSeconds=99999999999999999999\n", 5},
        {"[capture]\nalarmPreRollSeconds=\n", 5},
        {"alarmPreRollSeconds=7\n", 5},            // no group
        {"[view]\nalarmPreRollSeconds=7\n", 5},    // another group
        {"[capture]\nAlarmPreRollSeconds=7\n", 5}, // names keep their case
        {"[capture\nalarmPreRollSeconds=7\n", 7},  // the group all the same
        {"[capture] x\nalarmPreRollSeconds=7\n", 7},
        {"[capture]\nalarmPreRollSeconds\n", 5}, // no value
    };
    for (const auto& c : cases) {
        EXPECT_EQ(alarmPreRollSeconds(c.text), c.want) << c.text;
        // The window's QSettings takes the same value from the same text.
        QSettings qt(QString::fromStdString(write(c.text).string()), QSettings::IniFormat);
        bool isInt = false;
        const int v = qt.value("capture/alarmPreRollSeconds").toInt(&isInt);
        EXPECT_EQ(isInt && v >= 0 && v <= 60 ? v : 5, c.want) << c.text;
    }
}

TEST_F(Preferences, TheFileIsTheOneQSettingsKeepsAndAnUnreadableOneGivesTheDefault) {
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    {
        QSettings qt(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
        EXPECT_EQ(preferencesFile(), fs::path(qt.fileName().toStdString()));
        qt.setValue("capture/alarmPreRollSeconds", 17);
    }
    EXPECT_EQ(alarmPreRollSeconds(), 17);
    // A folder where the file should be, or a file too large to be ours.
    fs::remove(preferencesFile());
    fs::create_directories(preferencesFile());
    EXPECT_EQ(alarmPreRollSeconds(), kDefaultAlarmPreRollSeconds);
    fs::remove(preferencesFile());
    std::ofstream(preferencesFile(), std::ios::binary) << "[capture]\nalarmPreRollSeconds=17\n"
                                                       << std::string(1 << 20, ';');
    EXPECT_EQ(alarmPreRollSeconds(), kDefaultAlarmPreRollSeconds);
}

} // namespace
} // namespace kestle::app
