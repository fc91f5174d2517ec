// SPDX-License-Identifier: GPL-3.0-or-later
// Replaying a bag that someone changed: a gzip bomb as its trace is refused
// while it inflates (no memory, no temporary file), a damaged trace is named
// without echoing its bytes, and a bag that fails verification is replayed
// with a warning that says so.
#include "app/app_run.h"
#include "app/replay_session.h"
#include "fakes/gzip_bomb.h"
#include "fakes/program_run.h"

#include <gmock/gmock.h>

#include <zlib.h>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

// A headless night with the simulated Kestle, and its bag.
fs::path recordedNight(const app::test::AppFolder& app) {
    app.setIni("[NAG]\r\nNAGSCREEN=1\r\n");
    const auto night = app.run("click ITC2\ntype question Is anyone here?\\r\\n\nwait 4000\n");
    EXPECT_EQ(night.rc, 0) << night.err;
    for (const auto& e : fs::directory_iterator(app.data() / "Sessions"))
        return e.path();
    return {};
}

fs::path copyOf(const fs::path& bag, const fs::path& to) {
    fs::copy(bag, to, fs::copy_options::recursive);
    return to;
}

void gzipText(const fs::path& p, const std::string& text) {
    test::gzipRepeated(p, text, text.size());
}

std::uint64_t procValue(pid_t pid, const char* file, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    for (std::string k; in >> k;) {
        std::uint64_t v = 0;
        in >> v;
        if (k == key)
            return v;
    }
    return 0;
}

std::uint64_t bytesUnder(const fs::path& dir) {
    std::uint64_t n = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file(ec))
            n += it->file_size(ec);
    return n;
}

TEST(ReplayBag, AGzipBombAsTheTraceIsRefusedWhileItInflates) {
    app::test::AppFolder app;
    const fs::path bag = copyOf(recordedNight(app), app.dir() / "bomb");
    // 1 GiB and a line of comment lines: about 1 MB compressed.
    test::gzipRepeated(bag / "data/trace.gz", "#" + std::string(65534, ' ') + "\n",
                       (1ull << 30) + 65536);
    const fs::path temp = app.dir() / "tmp";
    fs::create_directories(temp);
    std::uint64_t mostTemp = 0, mostMemoryKb = 0;
    const auto run = test::runProgram({KESTLE_BINARY, "--replay-session", bag.string(),
                                       "--data-dir", (app.dir() / "out").string()},
                                      120s,
                                      [&](pid_t pid) {
                                          mostTemp = std::max(mostTemp, bytesUnder(temp));
                                          mostMemoryKb = std::max(
                                              mostMemoryKb, procValue(pid, "status", "VmHWM:"));
                                      },
                                      {{"TMPDIR", temp.string()}});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_THAT(run.err, HasSubstr("data/trace.gz: larger than 1 GiB inflated"));
    EXPECT_THAT(run.err, HasSubstr("failed verification"));
    EXPECT_LT(mostTemp, 1u << 20);
    // Nowhere near the gigabyte inflated, even with the sanitizers' cost.
    EXPECT_LT(mostMemoryKb, 768u << 10);
}

TEST(ReplayBag, ADamagedTraceIsNamedWithoutEchoingItsBytes) {
    app::test::AppFolder app;
    const fs::path night = recordedNight(app);
    const fs::path bag = copyOf(night, app.dir() / "damaged");
    gzipText(bag / "data/trace.gz", "> 00 01 02 03 04 05 06 07\n\x1b]0;owned\x07\xff\xfe 41 42\n");
    app::Options o;
    o.replaySession = bag;
    o.dataDir = app.dir() / "out";
    std::ostringstream out, err;
    EXPECT_EQ(app::runReplaySession(o, out, err), 2);
    EXPECT_THAT(err.str(), HasSubstr("data/trace.gz, line 2: request must be one character"));
    for (char raw : {'\x1b', '\x07', '\xff', '\xfe'})
        EXPECT_EQ(err.str().find(raw), std::string::npos) << int(raw);
    EXPECT_THAT(err.str(), HasSubstr("\\x1B"));

    // A trace cut short is refused too, and says so.
    const fs::path cut = copyOf(night, app.dir() / "cut");
    const std::string whole = app::test::readFile(cut / "data/trace.gz");
    app::test::writeFile(cut / "data/trace.gz", whole.substr(0, whole.size() / 2));
    o.replaySession = cut;
    std::ostringstream err2;
    EXPECT_EQ(app::runReplaySession(o, out, err2), 2);
    EXPECT_THAT(err2.str(), HasSubstr("data/trace.gz: it ends early"));
}

TEST(ReplayBag, ABagThatFailsVerificationIsReplayedWithAWarning) {
    app::test::AppFolder app;
    const fs::path original = recordedNight(app);
    const fs::path bag = copyOf(original, app.dir() / "changed");
    std::string log = app::test::readFile(bag / "data/logs/CV_data_file.csv");
    log[log.size() / 2] ^= 1;
    app::test::writeFile(bag / "data/logs/CV_data_file.csv", log);
    app::Options o;
    o.replaySession = bag;
    o.dataDir = app.dir() / "out";
    std::ostringstream out, err;
    EXPECT_EQ(app::runReplaySession(o, out, err), 0) << err.str();
    EXPECT_THAT(err.str(), HasSubstr("warning: " + bag.string() + " failed verification"));
    EXPECT_THAT(err.str(), HasSubstr("data/logs/CV_data_file.csv: checksum does not match"));

    std::ostringstream clean;
    o.replaySession = original;
    o.dataDir = app.dir() / "out2";
    EXPECT_EQ(app::runReplaySession(o, out, clean), 0);
    EXPECT_THAT(clean.str(), Not(HasSubstr("failed verification")));
}

} // namespace
} // namespace kestle::evidence
