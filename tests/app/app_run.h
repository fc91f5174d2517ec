// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs whole headless sessions in-process in a folder of their own, so that
// a test can look at the files a session leaves behind.
#include "app/application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestle::app::test {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct Session {
    int rc = -1;
    std::string out, err;
};

// A fresh application folder (the data folder is its "data" subfolder),
// removed again at the end of the test.
class AppFolder {
  public:
    AppFolder() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("kestle-app-" + std::string(info->test_suite_name()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~AppFolder() { fs::remove_all(dir_); }
    AppFolder(const AppFolder&) = delete;
    AppFolder& operator=(const AppFolder&) = delete;

    const fs::path& dir() const { return dir_; }
    fs::path data() const { return dir_ / "data"; }
    fs::path ini() const { return dir_ / "Kestle.ini"; }
    std::string iniText() const { return readFile(ini()); }
    void setIni(const std::string& bytes) const { writeFile(ini(), bytes); }
    std::string dataLog() const { return readFile(data() / "CV_data_file.csv"); }

    // One session with `script` on standard input; `extra` adds options
    // (the simulated Kestle and a virtual clock unless they are given).
    Session run(const std::string& script, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"--headless",
                                         "--app-dir",
                                         dir_.string(),
                                         "--data-dir",
                                         data().string(),
                                         "--user-list",
                                         (dir_ / "list.txt").string(),
                                         "--speech",
                                         "none",
                                         "--script",
                                         "-"};
        auto has = [&extra](const char* o) {
            return std::find(extra.begin(), extra.end(), o) != extra.end();
        };
        if (!has("--device"))
            args.insert(args.end(), {"--device", "sim"});
        if (!has("--clock"))
            args.insert(args.end(), {"--clock", "2026-12-07T04:50:20"});
        args.insert(args.end(), extra.begin(), extra.end());
        auto parsed = parseOptions(args);
        EXPECT_EQ(parsed.error, "");
        std::istringstream in(script);
        std::ostringstream out, err;
        Session s;
        s.rc = runHeadless(parsed.options, resolvePaths(parsed.options, dir_), out, err, in);
        s.out = out.str();
        s.err = err.str();
        return s;
    }

  private:
    fs::path dir_;
};

// Lines of a text, without their line ends.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> r;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        r.push_back(l);
    return r;
}

// True when `out` has a line that is exactly `line`.
inline bool hasLine(const std::string& out, const std::string& line) {
    for (const auto& l : lines(out))
        if (l == line)
            return true;
    return false;
}

} // namespace kestle::app::test
