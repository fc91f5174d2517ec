// SPDX-License-Identifier: GPL-3.0-or-later
// Whole sessions of the program and the bags they leave: valid, complete,
// tamper-evident, sealed after a kill, and one per run.
#include "app/app_run.h"
#include "app/replay_session.h"
#include "app/session_evidence.h"
#include "capture/kestle_process.h"
#include "evidence/bagit.h"
#include "evidence/replay_plan.h"
#include "evidence/trace_gz.h"

#include <gmock/gmock.h>

#include <cstdio>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using app::Options;
using capture::test::KestleProcess;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> bags(const fs::path& data) {
    std::vector<fs::path> r;
    std::error_code ec; // none yet: an empty list
    for (const auto& e : fs::directory_iterator(data / "Sessions", ec))
        r.push_back(e.path());
    std::sort(r.begin(), r.end());
    return r;
}

// `kestle --verify DIR`: its exit status and output.
std::pair<int, std::string> verify(const fs::path& bag) {
    const std::string cmd = std::string(KESTLE_BINARY) + " --verify '" + bag.string() + "' 2>&1";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    const int status = p ? ::pclose(p) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string problems(const fs::path& bag) {
    std::string r;
    for (const std::string& p : verifyBag(bag))
        r += p + "\n";
    return r;
}

TEST(SessionRun, ANightWithQuestionsAlarmsAndCapturesLeavesABagThatShowsEveryChange) {
    KestleProcess k;
    // Volts above 2.5 trip the alarm, which records sound and saves pictures.
    k.start("click av8\nclick vo2\nanswer 2.5\nclick Alarm1\nclick Option1(7)\n"
            "type question Is anyone here?\\r\\n\nwait 3000\nclick cancel\nwait 300\nquit\n",
            {"--device",
             "replay:" +
                 (fs::path(KESTLE_TEST_DATA) / "scenarios/records_capture_menu.trace").string()});
    ASSERT_EQ(k.wait(), 0) << k.out();
    const auto all = bags(k.data());
    ASSERT_EQ(all.size(), 1u);
    const fs::path bag = all[0];
    const auto [rc, said] = verify(bag);
    EXPECT_EQ(rc, 0) << said;

    // The payload: this session's log rows, its captures, its journal.
    EXPECT_EQ(read(bag / "data/logs/CV_data_file.csv"), read(k.data() / "CV_data_file.csv"));
    EXPECT_FALSE(k.files("Alarm_Audio.wav").empty());
    for (const fs::path& f : k.files(".wav"))
        EXPECT_EQ(read(bag / "data/captures" / f.filename()), read(f)) << f;
    const std::string journal = read(bag / "data/journal.jsonl");
    for (const char* event : {"\"start\"", "\"question\"", "\"alarm\"", "\"capture\"", "\"word\"",
                              "\"action\",\"command\":\"click Alarm1\"", "\"end\""})
        EXPECT_THAT(journal, HasSubstr(event));
    EXPECT_THAT(read(bag / "bag-info.txt"), HasSubstr("Session-Ended: normally"));

    // Any payload file changed by one byte is named.
    auto manifest = parseManifest(read(bag / "manifest-sha256.txt"));
    ASSERT_TRUE(manifest);
    EXPECT_GE(manifest->size(), 6u);
    for (const ManifestLine& l : *manifest) {
        SCOPED_TRACE(l.path);
        const fs::path file = bag / l.path;
        std::string bytes = read(file);
        if (bytes.empty())
            continue;
        // A hard-linked capture is the data folder's own file: changed in
        // place and put back, so that both stay whole.
        const std::string original = bytes;
        bytes[bytes.size() / 2] ^= 1;
        std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << bytes;
        const auto [bad, why] = verify(bag);
        EXPECT_EQ(bad, 1);
        EXPECT_THAT(why, HasSubstr(l.path + ": checksum does not match"));
        std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << original;
    }
    EXPECT_EQ(problems(bag), "");
}

TEST(SessionRun, AKilledSessionIsSealedAtTheNextStartWithEveryRowWrittenBeforeTheKill) {
    KestleProcess k;
    k.start("click Option1(7)\nwait 60000\n", {"--capture", "none"});
    const fs::path log = k.data() / "CV_data_file.csv";
    ASSERT_TRUE(kestle::test::waitFor(
        [&] {
            const std::string text = read(log);
            const auto traces = bags(k.data());
            // Rows logged, and the trace handed to the file at least once.
            return std::count(text.begin(), text.end(), '\n') >= 12 && !traces.empty() &&
                   fs::exists(traces[0] / "data/trace.gz") &&
                   fs::file_size(traces[0] / "data/trace.gz") > 100;
        },
        30s));
    k.kill9();
    const std::string rows = read(log);
    const fs::path killed = bags(k.data()).at(0);
    EXPECT_TRUE(fs::exists(killed / ".lock"));

    k.start("quit\n", {"--capture", "none"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    EXPECT_THAT(k.out(), HasSubstr("had ended unexpectedly; it is sealed now"));
    EXPECT_EQ(problems(killed), "");
    EXPECT_FALSE(fs::exists(killed / ".lock"));
    EXPECT_THAT(read(killed / "bag-info.txt"), HasSubstr("Session-Ended: unexpectedly"));
    EXPECT_EQ(read(killed / "data/logs/CV_data_file.csv"), rows);
    // The trace was made whole again and holds the readings up to the kill.
    auto trace = readGzipText(killed / "data/trace.gz");
    ASSERT_TRUE(trace);
    EXPECT_TRUE(trace->whole) << trace->why;
    EXPECT_GT(trace->text.size(), 100u);
    EXPECT_EQ(bags(k.data()).size(), 2u);
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(SessionRun, TheDataFolderRemovedWhileRecordingStopsTheRecordingAndLosesNoEvidence) {
    KestleProcess k;
    k.start("click av3\nclick Option1(7)\nwait 120000\n");
    const auto said = [&](const std::string& what, int times) {
        return kestle::test::waitFor([&] { return count(k.out(), what) >= times; }, 30s);
    };
    ASSERT_TRUE(kestle::test::waitFor(
        [&] { return !k.files(".wav").empty() && !bags(k.data()).empty(); }, 30s));
    const std::string gone = " is gone: the recordings were stopped";
    fs::remove_all(k.data());
    ASSERT_TRUE(said(gone, 1)) << k.out();
    // Back: the evidence goes on there; gone again until the end.
    fs::create_directories(k.data());
    ASSERT_TRUE(said(" is back: this session's evidence goes on in ", 1)) << k.out();
    ASSERT_TRUE(kestle::test::waitFor([&] { return bags(k.data()).size() == 1; }, 10s));
    fs::remove_all(k.data());
    ASSERT_TRUE(said(gone, 2)) << k.out();
    // Some words more while it is gone, so that the trace held in memory has
    // lines of its own.
    const int spoken = count(k.out(), "\nQUIET ");
    ASSERT_TRUE(said("\nQUIET ", spoken + 3)) << k.out();
    k.sendSignal(SIGTERM);
    ASSERT_EQ(k.wait(), 0) << k.out();
    EXPECT_EQ(count(k.out(), gone), 2) << k.out(); // told once each time
    EXPECT_THAT(k.out(), Not(HasSubstr("Cannot read back")));
    EXPECT_THAT(k.out(), HasSubstr("The data folder was gone: this session's evidence was sealed"));

    const auto all = bags(k.data());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(problems(all[0]), "");
    EXPECT_THAT(read(all[0] / "bag-info.txt"), HasSubstr("Session-Ended: normally"));
    // The journal from its start through both absences to its end, and the
    // sound recording stopped once the folder went.
    const std::string journal = read(all[0] / "data/journal.jsonl");
    const auto at = [&](const std::string& what) { return journal.find(what); };
    ASSERT_NE(at("\"event\":\"start\""), std::string::npos) << journal;
    // Stopped as the folder was found gone (told just after), not at exit.
    EXPECT_LT(at("\"event\":\"start\""), at("\"call\":\"Audio.Stop\""));
    EXPECT_LT(at("\"call\":\"Audio.Stop\""), at(gone));
    EXPECT_LT(at(" is back"), journal.rfind(gone));
    EXPECT_NE(at("\"event\":\"end\""), std::string::npos);
    EXPECT_GT(count(journal, "\"event\":\"word\""), 0);
    auto trace = readGzipText(all[0] / "data/trace.gz");
    ASSERT_TRUE(trace);
    EXPECT_TRUE(trace->whole) << trace->why;
    // Readings from before the first absence through the second one.
    const auto msAt = [](const std::string& text, std::size_t at, const std::string& key) {
        const std::size_t from = text.rfind(key, at);
        return from == std::string::npos ? -1LL : std::stoll(text.substr(from + key.size()));
    };
    const long long firstTrace = msAt(trace->text, trace->text.find(" # t="), " # t=");
    const long long lastTrace = msAt(trace->text, trace->text.rfind(" # t="), " # t=");
    EXPECT_LT(firstTrace, msAt(journal, at(gone), "{\"t\":"));
    EXPECT_GT(lastTrace, msAt(journal, journal.rfind(gone), "{\"t\":")) << trace->text;
}

// The set-up form's "Capture" may record anywhere: the file is the
// session's evidence all the same, at a normal end and after a kill.
TEST(SessionRun, ARecordingOutsideTheDataFolderIsInTheBag) {
    KestleProcess k;
    const fs::path elsewhere = k.dir() / "elsewhere";
    fs::create_directories(elsewhere);
    const auto capture = [&](const std::string& name, const std::string& then) {
        k.start("click vidtext\nanswer " + (elsewhere / name).string() +
                "\nclick vid2.Command2\nwait 1500\n" + then);
    };
    capture("night", "click vid2.Command3\nquit\n");
    ASSERT_EQ(k.wait(), 0) << k.out();
    capture("killed.avi", "wait 60000\n");
    ASSERT_TRUE(kestle::test::waitFor(
        [&] {
            std::error_code ec;
            const auto size = fs::file_size(elsewhere / "killed.avi", ec);
            return !ec && size > 100000;
        },
        30s));
    k.kill9();
    k.start("quit\n", {"--capture", "none"});
    ASSERT_EQ(k.wait(), 0) << k.out();

    const auto all = bags(k.data());
    ASSERT_EQ(all.size(), 3u);
    for (const auto& [bag, name] : {std::pair{all[0], "night.avi"}, {all[1], "killed.avi"}}) {
        EXPECT_EQ(problems(bag), "") << bag;
        const fs::path copy = bag / "data/captures" / name;
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_TRUE(fs::equivalent(copy, elsewhere / name) || read(copy) == read(elsewhere / name));
    }
    EXPECT_THAT(read(all[1] / "bag-info.txt"), HasSubstr("killed.avi: "));
}

TEST(SessionRun, SessionsOfTheSameSecondGetFoldersOfTheirOwn) {
    app::test::AppFolder app;
    app.setIni("[NAG]\r\nNAGSCREEN=1\r\n");
    ASSERT_EQ(app.run("click subhz\n").rc, 0);
    ASSERT_EQ(app.run("").rc, 0);
    const auto all = bags(app.data());
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].filename(), "2026-12-07 04-50-20");
    EXPECT_EQ(all[1].filename(), "2026-12-07 04-50-20 (2)");
    for (const fs::path& b : all)
        EXPECT_EQ(problems(b), "") << b;
    // What the first left at exit is what the second found at start.
    EXPECT_EQ(read(all[0] / "data/settings-at-exit.ini"),
              read(all[1] / "data/settings-at-start.ini"));
    EXPECT_NE(read(all[0] / "data/settings-at-start.ini"),
              read(all[0] / "data/settings-at-exit.ini"));
}

// The words of a journal with the levels that chose them, in order.
std::vector<std::string> words(const std::string& journal) {
    std::vector<std::string> r;
    for (const std::string& line : app::test::lines(journal))
        if (journalField(line, "event") == "word")
            r.push_back(*journalField(line, "t") + " " + *journalField(line, "word") + " " +
                        *journalField(line, "level"));
    return r;
}

// A headless night with the simulated Kestle, run again from its bag alone:
// the same logs and the same words, byte for byte.
TEST(SessionRun, AReplayOfAHeadlessNightGivesItsLogsAndWordsByteForByte) {
    app::test::AppFolder app;
    app.setIni("[NAG]\r\nNAGSCREEN=1\r\n");
    const auto night = app.run("click logalarm\nclick logfilerf\nclick vo2\nanswer 2.5\n"
                               "click Alarm1\nclick ITC2\ntype question Is anyone here?\\r\\n\n"
                               "wait 7000\nunplug\nwait 700\nplug\n"
                               "type question Who are you?\\r\\n\nwait 7000\n");
    ASSERT_EQ(night.rc, 0) << night.err;
    const fs::path bag = bags(app.data()).at(0);
    const fs::path out = app.dir() / "replayed";

    Options o;
    o.replaySession = bag;
    o.dataDir = out;
    std::ostringstream said, err;
    ASSERT_EQ(app::runReplaySession(o, said, err), 0) << err.str();

    for (const char* log : {"CV_data_file.csv", "CV_rf_threshold.csv", "CV_Alarm_Log.TXT"}) {
        SCOPED_TRACE(log);
        const std::string before = read(app.data() / log);
        EXPECT_GT(before.size(), 200u);
        EXPECT_EQ(read(out / log), before);
    }
    const auto first = words(read(bag / "data/journal.jsonl"));
    EXPECT_GT(first.size(), 5u);
    EXPECT_EQ(words(read(bags(out).at(0) / "data/journal.jsonl")), first);
}

// A night in real time: its replay chooses the same words in the same
// order (the cycles' times differ, so a replay may run a cycle more or less
// at the end of an answer window).
TEST(SessionRun, AReplayOfARealTimeNightChoosesItsWordsInTheSameOrder) {
    KestleProcess k;
    k.start("click ITC2\ntype question Is anyone here?\\r\\n\nwait 5500\nquit\n",
            {"--capture", "none"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    const fs::path bag = bags(k.data()).at(0);
    Options o;
    o.replaySession = bag;
    o.dataDir = k.dir() / "replayed";
    std::ostringstream said, err;
    ASSERT_EQ(app::runReplaySession(o, said, err), 0) << err.str();

    auto wordsOnly = [](const fs::path& journal) {
        std::vector<std::string> r;
        for (const std::string& line : app::test::lines(read(journal)))
            if (journalField(line, "event") == "word")
                r.push_back(*journalField(line, "word"));
        return r;
    };
    const auto night = wordsOnly(bag / "data/journal.jsonl");
    const auto replayed = wordsOnly(bags(o.dataDir.value()).at(0) / "data/journal.jsonl");
    ASSERT_GE(night.size(), 3u);
    const std::size_t common = std::min(night.size(), replayed.size());
    EXPECT_GE(common + 2, night.size());
    EXPECT_TRUE(std::equal(night.begin(), night.begin() + static_cast<std::ptrdiff_t>(common),
                           replayed.begin()));
}

TEST(SessionRun, AJournalThatCannotBeReplayedIsToldAndNothingRuns) {
    EXPECT_FALSE(planReplay("{\"t\":0,\"event\":\"action\",\"command\":\"quit\"}\n"));
    EXPECT_FALSE(planReplay("not json\n"));
    auto plan = planReplay("{\"t\":0,\"time\":\"2026-12-07T04:50:20\",\"event\":\"start\"}\n"
                           "{\"t\":250,\"time\":\"2026-12-07T04:50:20\",\"event\":\"action\","
                           "\"command\":\"type question a\\\\r\\\\n\"}\n"
                           "{\"t\":900,\"time\":\"2026-12-07T04:50:21\",\"event\":\"end\"}\n");
    ASSERT_TRUE(plan) << plan.error();
    EXPECT_EQ(plan->start, (LocalDateTime{2026, 12, 7, 4, 50, 20}));
    EXPECT_EQ(plan->script,
              (std::vector<std::string>{"wait 250", "type question a\\r\\n", "wait 650"}));
}

// In a window the operator answers the dialogs: a replay queues each answer
// before the action that opened the dialog. A headless night's answers are
// script lines of their own, so its dialog lines add nothing.
TEST(SessionRun, AWindowNightsDialogAnswersAreQueuedBeforeTheActionsThatOpenedThem) {
    auto line = [](int t, const std::string& rest) {
        return "{\"t\":" + std::to_string(t) + ",\"time\":\"2026-12-07T04:50:20\"," + rest + "}\n";
    };
    const std::string start = line(0, "\"event\":\"start\"");
    const std::string window =
        start + line(100, "\"event\":\"action\",\"command\":\"click vo2\"") +
        line(900,
             "\"event\":\"dialog\",\"kind\":\"input\",\"answer\":\"a\\\\b\\r\",\"operator\":1") +
        line(1500, "\"event\":\"action\",\"command\":\"click mnuCapture\"") +
        line(2000, "\"event\":\"dialog\",\"kind\":\"file\",\"cancelled\":1,\"operator\":1") +
        line(2100, "\"event\":\"dialog\",\"kind\":\"colour\",\"answer\":\"FF0000\",\"operator\":1");
    auto plan = planReplay(window);
    ASSERT_TRUE(plan) << plan.error();
    EXPECT_EQ(plan->script,
              (std::vector<std::string>{"wait 100", "answer a\\\\b\\r", "click vo2", "wait 1400",
                                        "answer-cancel", "answer FF0000", "click mnuCapture"}));
    auto headless =
        planReplay(start + line(100, "\"event\":\"action\",\"command\":\"answer 2\"") +
                   line(200, "\"event\":\"dialog\",\"kind\":\"input\",\"answer\":\"2\""));
    ASSERT_TRUE(headless) << headless.error();
    EXPECT_EQ(headless->script, (std::vector<std::string>{"wait 100", "answer 2"}));
}

} // namespace
} // namespace kestle::evidence
