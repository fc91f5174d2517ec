// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every headless scenario in tests/scenarios: NAME.script is the
// operator script, NAME.expected the exact standard output. Lines of the
// script that start with "#! " give the command line; in them @DIR@ is a
// fresh folder (the application and data folders default to it) and @SRC@
// the scenarios folder (both are replaced in NAME.expected too). A scenario
// may also set "#! exit N".
#include "app/application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kScenarios = fs::path(KESTLE_TEST_DATA) / "scenarios";

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size())
        s.replace(p, from.size(), to);
    return s;
}

std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;)
        w.push_back(x);
    return w;
}

class Scenario : public testing::TestWithParam<std::string> {};

TEST_P(Scenario, OutputMatches) {
    const std::string name = GetParam();
    const fs::path script = kScenarios / (name + ".script");
    fs::path dir = fs::temp_directory_path() /
                   ("kestle-scenario-" + name + "-" +
                    std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    std::vector<std::string> args = {"--headless",
                                     "--app-dir",
                                     dir.string(),
                                     "--data-dir",
                                     (dir / "data").string(),
                                     "--user-list",
                                     (dir / "list.txt").string(),
                                     "--speech",
                                     "none"};
    int expectedExit = 0;
    std::istringstream lines(readAll(script));
    for (std::string l; std::getline(lines, l);) {
        if (l.rfind("#! exit ", 0) == 0) {
            expectedExit = std::stoi(l.substr(8));
        } else if (l.rfind("#! ", 0) == 0) {
            std::string a = replaceAll(replaceAll(l.substr(3), "@DIR@", dir.string()), "@SRC@",
                                       kScenarios.string());
            for (auto& w : words(a))
                args.push_back(w);
        }
    }
    args.push_back("--script");
    args.push_back(script.string());

    // Optional starting files: NAME.ini becomes Kestle.ini.
    if (fs::exists(kScenarios / (name + ".ini")))
        fs::copy_file(kScenarios / (name + ".ini"), dir / "Kestle.ini");

    auto parsed = kestle::app::parseOptions(args);
    ASSERT_EQ(parsed.error, "");
    std::ostringstream out, err;
    std::istringstream in;
    int rc = kestle::app::runHeadless(parsed.options,
                                      kestle::app::resolvePaths(parsed.options, dir), out, err, in);
    EXPECT_EQ(rc, expectedExit) << err.str();
    std::string expected =
        replaceAll(replaceAll(readAll(kScenarios / (name + ".expected")), "@DIR@", dir.string()),
                   "@SRC@", kScenarios.string());
    EXPECT_EQ(out.str(), expected) << "scenario " << name;
    fs::remove_all(dir);
}

std::vector<std::string> scenarioNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kScenarios)) {
        if (e.path().extension() == ".script")
            names.push_back(e.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Headless, Scenario, testing::ValuesIn(scenarioNames()),
                         [](const testing::TestParamInfo<std::string>& i) {
                             std::string n = i.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

} // namespace
