// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/inifile.h"
#include "fakes/settings_keys.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace kestle {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kestle-ini-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        ini_ = dir_ / "Kestle.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void put(const std::string& bytes) { std::ofstream(ini_, std::ios::binary) << bytes; }
    std::string get() {
        std::ifstream in(ini_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string read(std::string_view section, std::string_view key) {
        Result<std::string> r = INIread(ini_, section, key);
        EXPECT_TRUE(r.ok()) << r.error();
        return r.ok() ? *r : "<error>";
    }
    void write(std::string_view section, std::string_view key, std::string_view value) {
        Status s = INIwrite(ini_, section, key, value);
        EXPECT_TRUE(s.ok()) << s.error();
    }

    fs::path dir_;
    fs::path ini_;
};

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(IniFileTest, MissingFileIsCreatedEmptyAndReadsEmpty) {
    EXPECT_EQ(read("NAG", "NAGSCREEN"), "");
    ASSERT_TRUE(fs::is_regular_file(ini_));
    EXPECT_EQ(fs::file_size(ini_), 0u);
}

TEST_F(IniFileTest, ReadMatchesLinesByFileRules) {
    struct Case {
        std::string file, section, key, want;
    } cases[] = {
        {"[alarm]\r\nalarm1=TrUe\r\n", "ALARM", "ALARM1", "TrUe"},
        {"[ALARM] \r\nALARM1=True\r\n", "ALARM", "ALARM1", ""},
        {"[ALARM]\r\nALARM1 =True\r\n", "ALARM", "ALARM1", ""},
        {"[VIDEO]\r\nV1=a=b \r\n", "VIDEO", "V1", "a=b "},
        {"[VIDEO]\r\nV1=a[b\r\nV2=x\r\n", "VIDEO", "V2", ""},
        {"V1=x\r\n[VIDEO]\r\nV2=y\r\n", "VIDEO", "V1", ""},
        {"[A]\r\nX=1\r\n[B]\r\nY=2\r\n[A]\r\nZ=3\r\nX=9\r\n", "A", "Z", "3"},
        {"[A]\r\nX=1\r\n[B]\r\nY=2\r\n[A]\r\nZ=3\r\nX=9\r\n", "A", "X", "1"},
        {"[A]\r\nX=1\r\n[B]\r\nY=2\r\n", "B", "X", ""},
        {"[A]\r\nX=1\nY=2\r\n", "A", "X", "1\nY=2"},
        {"[A]\nX=1\n", "A", "X", ""},
        {"[A]\r\nX=last", "A", "X", "last"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " / " + c.key);
        put(c.file);
        EXPECT_EQ(read(c.section, c.key), c.want);
    }
}

TEST_F(IniFileTest, ReadGivesOwnerWriteBack) {
    put("[A]\r\nX=1\r\n");
    fs::permissions(ini_, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(read("A", "X"), "1");
    EXPECT_NE(fs::status(ini_).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(IniFileTest, WriteRebuildsWholeText) {
    struct Case {
        std::string before, section, key, value, after;
    } cases[] = {
        {"", "VIDEO", "V1", "x", "[VIDEO]\r\nV1=x\r\n"},
        {"[A]\r\nX=1\r\n\r\n\r\n", "B", "Y", "2", "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n"},
        {"[A]\r\nX=1\r\n\r\n[B]\r\nY=1\r\n", "a", "Z", "2",
         "[A]\r\nZ=2\r\nX=1\r\n\r\n[B]\r\nY=1\r\n"},
        {"[B]\r\nY=1\r\n\r\n[A]\r\nK=1\r\n", "B", "K", "2",
         "[B]\r\nK=2\r\nY=1\r\n\r\n[A]\r\nK=1\r\n"},
        {"[ALARM]\r\nALARM1=True\r\nalarm3v=1\r\nALARM4V=\r\n", "ALARM", "ALARM3V", "2.5",
         "[ALARM]\r\nALARM1=True\r\nALARM3V=2.5\r\nALARM4V=\r\n"},
        {"[A]\r\nX=old value", "A", "X", "1", "[A]\r\nX=1\r\n"},
        {"[VIDEO]\r\nV1=a[b\r\nV2=old\r\n", "VIDEO", "V2", "new",
         "[VIDEO]\r\nV2=new\r\nV1=a[b\r\nV2=old\r\n"},
        {"\r\n\r\n[A]\r\n\r\n\r\n\r\nX=1\r\n\r\n\r\n[B]\r\nY=2\r\n\r\n\r\n", "B", "Y", "3",
         "[A]\r\n\r\nX=1\r\n\r\n[B]\r\nY=3\r\n"},
        {"\n\t\r\n [A]\r\nX=1\r\n", "A", "X", "2", " [A]\r\nX=1\r\n\r\n[A]\r\nX=2\r\n"},
        {"[A]\r\nX=1\r\n \r\n\t\r\n", "A", "X", "2", "[A]\r\nX=2\r\n \r\n"},
        {"[A]", "A", "X", "1", "[A]\r\n\r\n[A]\r\nX=1\r\n"},
        // Lines end at CR LF for the writer as for the reader: a header with a
        // lone CR after it is no header, and a lone LF belongs to the value,
        // which is replaced whole.
        {"[A]\r", "A", "X", "1", "[A]\r\r\n\r\n[A]\r\nX=1\r\n"},
        // Control codes before a header go first, so the header is found: the
        // value must not go to a second section after the one read.
        {std::string("\0\0\t[A]\r\nX=1\r\n", 13), "A", "X", "2", "[A]\r\nX=2\r\n"},
        {"[A]\r\nX=1\nY=2\r\n", "A", "X", "3", "[A]\r\nX=3\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before + " / " + c.key);
        put(c.before);
        write(c.section, c.key, c.value);
        EXPECT_EQ(get(), c.after);
    }
    put("[VIDEO]\r\nV1=a[b\r\nV2=old\r\n");
    write("VIDEO", "V2", "new");
    EXPECT_EQ(read("VIDEO", "V2"), "new");
}

TEST_F(IniFileTest, WritesIntoEmptyFileBuildSectionsInOrder) {
    const std::pair<std::string, std::string> keys[] = {{"SCREEN", "TEXT"}, {"RF", "SUBHZ"},
                                                        {"RF", "LOWHZ"},    {"VIDEO", "V1"},
                                                        {"VIDEO", "V2"},    {"NAG", "NAGSCREEN"}};
    const std::string values[] = {"True", "False", "True", "hello world", "", "1"};
    const std::string expected =
        "[SCREEN]\r\nTEXT=True\r\n\r\n[RF]\r\nLOWHZ=True\r\nSUBHZ=False\r\n"
        "\r\n[VIDEO]\r\nV2=\r\nV1=hello world\r\n\r\n[NAG]\r\nNAGSCREEN=1\r\n";
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < std::size(keys); ++i)
            write(keys[i].first, keys[i].second, values[i]);
        EXPECT_EQ(get(), expected) << "round " << round;
    }
    for (size_t i = 0; i < std::size(keys); ++i)
        EXPECT_EQ(read(keys[i].first, keys[i].second), values[i]);
}

TEST_F(IniFileTest, NonAsciiValueIsOneCodePageByte) {
    write("VIDEO", "V1", "Caf\u00e9 \u2019s");
    EXPECT_EQ(get(), "[VIDEO]\r\nV1=Caf\xe9 \x92s\r\n");
    EXPECT_EQ(read("video", "v1"), "Caf\u00e9 \u2019s");
}

TEST_F(IniFileTest, FileSystemFailuresAreErrors) {
    put("not a folder");
    const fs::path bad = ini_ / "Kestle.ini";
    Result<std::string> r = INIread(bad, "A", "X");
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().find(bad.string()), std::string::npos) << r.error();
    const fs::path missing = dir_ / "missing" / "Kestle.ini";
    Status s = INIwrite(missing, "A", "X", "1");
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.error().find(missing.string()), std::string::npos) << s.error();
    EXPECT_EQ(get(), "not a folder");
}

// A file size limit stands in for a full disk; it binds root as well.
TEST_F(IniFileTest, FailedWriteLeavesOldFileWhole) {
    const std::string old = "[A]\r\nX=1\r\n";
    put(old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status s = INIwrite(ini_, "A", "X", "a value longer than the limit");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(get(), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
        << "temporary file left behind";
}

using test::saveEntries;

// Values as the reader returns them, saved back: nothing changed, so the
// file must not change either (a lone CR or LF used to leave the rest of
// the value behind, one more copy at every start).
TEST_F(IniFileTest, SavingWhatWasReadKeepsTheFile) {
    const std::string files[] = {
        "[ALARM]\r\nALARM4V=a\rb\r\n",
        "[ALARM]\r\nALARM4V=a\nb\r\nALARM5V=c\r\n",
        "[VIDEO]\r\nV1=x\nV2=y\r\nV3=\rz\r\n",
        "[SCREEN]\rTEXT=True\r\n[SCREEN]\r\nTEXT=False\r\n",
    };
    for (const std::string& before : files) {
        SCOPED_TRACE(before);
        put(before);
        std::string first;
        for (int start = 1; start <= 3; ++start) {
            ASSERT_TRUE(INIwriteAll(ini_, saveEntries(get())));
            if (start == 1)
                first = get();
            EXPECT_EQ(get(), first) << "start " << start;
        }
        EXPECT_EQ(iniValue(first, "ALARM", "ALARM4V"), iniValue(before, "ALARM", "ALARM4V"));
    }
}

// One replacement of the file with every key applied in memory gives the
// text of one write per key, for ordinary and odd files alike.
TEST_F(IniFileTest, AllKeysAtOnceGiveTheTextOfOneWriteEach) {
    std::vector<std::string> files = {"", "[NAG]\r\nNAGSCREEN=3\r\n", "junk\n[NAG]\nX=1\n\n",
                                      "[A]\r\n[ALARM]\r\nALARM1V=a[b\r\nALARM2V=2\r\n"};
    for (const auto& e :
         fs::directory_iterator(fs::path(KESTLE_TEST_DATA) / "fuzz" / "corpus" / "settings"))
        files.push_back(readAll(e.path()));
    ASSERT_GT(files.size(), 10u);
    const fs::path single = dir_ / "single.ini";
    for (const std::string& before : files) {
        SCOPED_TRACE(before);
        std::vector<IniEntry> entries = saveEntries(before);
        entries[5].value = "True"; // something changes as well
        put(before);
        std::ofstream(single, std::ios::binary) << before;
        ASSERT_TRUE(INIwriteAll(ini_, entries));
        for (const IniEntry& e : entries)
            ASSERT_TRUE(INIwrite(single, e.section, e.key, e.value));
        EXPECT_EQ(get(), readAll(single));
    }
}

// A settings file that is a device or a FIFO is neither read for ever nor
// waited on, and a save leaves it alone.
TEST_F(IniFileTest, AFileThatIsNoRegularFileIsRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    for (const char* target : {"/dev/zero", "/dev/full", "fifo"}) {
        SCOPED_TRACE(target);
        fs::remove(ini_);
        fs::create_symlink(target, ini_);
        const Result<std::string> r = INIread(ini_, "NAG", "NAGSCREEN");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "Cannot read " + ini_.string() + ": it is not a regular file");
        EXPECT_FALSE(INIwrite(ini_, "NAG", "NAGSCREEN", "1").ok());
        EXPECT_TRUE(fs::is_symlink(ini_));
    }
    fs::remove(ini_);
    put(std::string(kMaxSettingsBytes + 1, ' '));
    const Result<std::string> big = INIread(ini_, "NAG", "NAGSCREEN");
    ASSERT_FALSE(big.ok());
    EXPECT_NE(big.error().find("it is larger than 1048576 bytes"), std::string::npos);
}

} // namespace
} // namespace kestle
