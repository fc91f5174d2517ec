// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace kestle::app {
namespace {

ParseResult parse(std::initializer_list<const char*> a) {
    return parseOptions(std::vector<std::string>(a.begin(), a.end()));
}

TEST(Options, DefaultsUseTheRealKestleInAWindow) {
    auto r = parse({});
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.options.device, "hid");
    EXPECT_EQ(r.options.simSeed, 1u);
    EXPECT_FALSE(r.options.headless);
    EXPECT_FALSE(r.options.clock);
    EXPECT_EQ(r.options.script, "");
    EXPECT_EQ(r.options.speech, "auto");
}

TEST(Options, ValuesComeAsTheNextArgumentOrAfterAnEqualsSign) {
    auto r =
        parse({"--headless", "--device=replay:/t/a.trace", "--sim-seed", "4294967295",
               "--clock=2026-12-07T04:50:20", "--script", "-", "--record", "out.trace", "--speech",
               "wav:/tmp/w", "--app-dir", "/a", "--data-dir=/d", "--user-list", "/u.txt"});
    ASSERT_EQ(r.error, "");
    const Options& o = r.options;
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.device, "replay:/t/a.trace");
    EXPECT_EQ(o.simSeed, 4294967295u);
    ASSERT_TRUE(o.clock);
    EXPECT_EQ(o.clock->hour, 4);
    EXPECT_EQ(o.script, "-");
    EXPECT_EQ(o.record, "out.trace");
    EXPECT_EQ(o.speech, "wav:/tmp/w");
    Paths p = resolvePaths(o, "/exe");
    EXPECT_EQ(p.appDir, "/a");
    EXPECT_EQ(p.dataDir, "/d");
    EXPECT_EQ(p.userList, "/u.txt");
    EXPECT_EQ(p.settingsFile(), "/a/Kestle.ini");
}

TEST(Options, HelpAndVersion) {
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"-h"}).options.help);
    EXPECT_TRUE(parse({"--version"}).options.version);
    // --clock without --headless is fine when only help is wanted.
    EXPECT_EQ(parse({"--clock", "2026-12-07T04:50:20", "--help"}).error, "");
    const std::string usage = usageText();
    for (const char* o :
         {"--device", "--sim-seed", "--record", "--speech", "--app-dir", "--data-dir",
          "--user-list", "--headless", "--script", "--clock", "--help", "--version"})
        EXPECT_NE(usage.find(o), std::string::npos) << o;
    EXPECT_NE(versionText().find("2.0"), std::string::npos);
}

struct BadCase {
    std::vector<std::string> args;
    std::string error;
};

class BadOptions : public testing::TestWithParam<BadCase> {};

TEST(Options, ReviewAndReportTakeASessionsFolder) {
    auto r = parse({"--review", "/d/Sessions/a", "--live-chart"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.review, "/d/Sessions/a");
    EXPECT_TRUE(r.options.liveChart);
    r = parse({"--report", "/d/Sessions/a", "out.pdf", "--device", "sim"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.reportBag, "/d/Sessions/a");
    EXPECT_EQ(r.options.reportPdf, "out.pdf");
    EXPECT_EQ(r.options.device, "sim");
}

TEST(Options, ListeningTakesABagAndAMomentsPlace) {
    auto r = parse({"--moments", "/d/Sessions/a"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.moments, "/d/Sessions/a");
    r = parse({"--export-moment", "/d/Sessions/a", "2026-12-07T22:00:05.250", "2.5", "/out/m"});
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.options.exportMoment);
    EXPECT_EQ(r.options.exportMoment->bag, "/d/Sessions/a");
    EXPECT_EQ(r.options.exportMoment->start, "2026-12-07T22:00:05.250");
    EXPECT_EQ(r.options.exportMoment->seconds, "2.5");
    EXPECT_EQ(r.options.exportMoment->out, "/out/m");
    r = parse({"--verify", "/m", "--parent", "/d/Sessions/a"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.parent, "/d/Sessions/a");
    EXPECT_EQ(parse({"--parent", "/d"}).error, "option --parent goes with --verify MOMENT");
    EXPECT_EQ(parse({"--export-moment", "/d", "2026-12-07T22:00:05", "2"}).error,
              "option --export-moment needs a session's folder, START, SECONDS and OUT");
    EXPECT_NE(usageText().find("--export-moment DIR START SECONDS OUT"), std::string::npos);
}

TEST(Options, TheRemoteViewListensAtAPortAndMaybeAnAddress) {
    auto only = parseListenAt("8443");
    ASSERT_TRUE(only);
    EXPECT_EQ(only->address, "");
    EXPECT_EQ(only->port, 8443);
    auto v4 = parseListenAt("192.168.1.5:0");
    ASSERT_TRUE(v4);
    EXPECT_EQ(v4->address, "192.168.1.5");
    EXPECT_EQ(v4->port, 0);
    auto v6 = parseListenAt("[fe80::1%eth0]:9000");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->address, "fe80::1%eth0");
    for (const char* bad : {"", "65536", "x", "1.2.3.4:", "fe80::1:80", "[::1]80", "80 ", "-1"})
        EXPECT_FALSE(parseListenAt(bad)) << bad;
    auto r = parse({"--headless", "--remote", "[::1]:8443", "--remote-plain"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.remote->address, "::1");
    EXPECT_EQ(r.options.remote->port, 8443);
    EXPECT_TRUE(r.options.remotePlain);
}

TEST_P(BadOptions, SayWhatIsWrong) {
    auto r = parseOptions(GetParam().args);
    EXPECT_EQ(r.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadOptions,
    testing::Values(
        BadCase{{"--frobnicate"}, "unknown option '--frobnicate'"},
        BadCase{{"--frobnicate=1"}, "unknown option '--frobnicate=1'"},
        BadCase{{"stray"}, "unknown option 'stray'"},
        BadCase{{"--device", "usb"},
                "bad value for --device: 'usb' (expected hid, sim or replay:FILE)"},
        BadCase{{"--device", "replay:"},
                "bad value for --device: 'replay:' (expected hid, sim or replay:FILE)"},
        BadCase{{"--sim-seed", "-1"},
                "bad value for --sim-seed: '-1' (expected a whole number from 0 to 4294967295)"},
        BadCase{{"--sim-seed", "4294967296"},
                "bad value for --sim-seed: '4294967296' (expected "
                "a whole number from 0 to 4294967295)"},
        BadCase{{"--sim-seed", "7x"},
                "bad value for --sim-seed: '7x' (expected a whole number from 0 to 4294967295)"},
        BadCase{{"--speech", "loud"},
                "bad value for --speech: 'loud' (expected auto, none or wav:DIR)"},
        BadCase{{"--headless", "--clock", "2026-13-07T04:50:20"},
                "bad value for --clock: '2026-13-07T04:50:20' (expected YYYY-MM-DDTHH:MM:SS)"},
        BadCase{{"--headless", "--clock", "2026-12-07 04:50:20"},
                "bad value for --clock: '2026-12-07 04:50:20' (expected YYYY-MM-DDTHH:MM:SS)"},
        BadCase{{"--clock", "2026-12-07T04:50:20"}, "option --clock needs --headless"},
        BadCase{{"--script"}, "option --script needs a value"},
        BadCase{{"--app-dir="}, "option --app-dir needs a value"},
        BadCase{{"--help=yes"}, "option --help takes no value"},
        BadCase{{"--headless=1"}, "option --headless takes no value"},
        BadCase{{"--report", "/d/Sessions/a"},
                "option --report needs a session's folder and a PDF file"},
        BadCase{{"--headless", "--review", "/d/Sessions/a"},
                "option --review needs a window; use --report for a file"},
        BadCase{{"--remote"}, "option --remote needs [ADDRESS:]PORT"},
        BadCase{{"--remote", "fe80::1:80"},
                "bad value for --remote: 'fe80::1:80' (an IPv6 "
                "address goes in brackets: [ADDRESS]:PORT)"},
        BadCase{{"--remote", "host:http"},
                "bad value for --remote: 'host:http' (expected "
                "[ADDRESS:]PORT, PORT from 0 to 65535)"},
        BadCase{{"--remote-plain"}, "option --remote-plain goes with --remote"},
        BadCase{{"--headless", "--clock", "2026-12-07T04:50:20", "--remote", "0"},
                "option --remote serves in real time; it cannot run with --clock"}));

// The executable itself: status and where the texts go.
struct Ran {
    int status;
    std::string out;
};

Ran runBinary(const std::string& args) {
    const std::string cmd = std::string(KESTLE_BINARY) + " " + args + " 2>&1";
    Ran r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        r.out += buf;
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class Executable : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(KESTLE_BINARY))
            GTEST_SKIP() << "the kestle executable is not built";
    }
};

TEST_F(Executable, BadOptionsExitWithStatus2AndAHint) {
    Ran r = runBinary("--device usb");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("kestle: bad value for --device: 'usb'"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Try 'kestle --help'"), std::string::npos);
    EXPECT_EQ(runBinary("--nonsense").status, 2);
}

TEST_F(Executable, HelpAndVersionExitWithStatus0) {
    Ran h = runBinary("--help");
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out, usageText());
    Ran v = runBinary("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, versionText());
}

TEST_F(Executable, AScriptErrorStillQuitsButExitsWith2) {
    const auto dir = std::filesystem::temp_directory_path() / "kestle-options-script-error";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        std::ofstream script(dir / "s.script");
        script << "frobnicate\nclick nosuch\n";
    }
    Ran r = runBinary("--headless --device sim --clock 2026-12-07T04:50:20 --speech none "
                      "--app-dir " +
                      dir.string() + " --data-dir " + (dir / "data").string() + " --script " +
                      (dir / "s.script").string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("ERROR line 1: unknown command 'frobnicate'\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("ERROR line 2: no control named 'nosuch'\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace kestle::app
