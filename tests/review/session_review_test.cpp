// SPDX-License-Identifier: GPL-3.0-or-later
// A night recorded by the program itself, read back from its bag: the model
// a review window draws, and the PDF report a client checks the bag with.
#include "evidence/digest.h"
#include "review/alarm_episodes.h"
#include "review/recorded_night.h"
#include "review/report.h"
#include "review/session_model.h"
#include "review/time_text.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <sstream>

namespace kestle::review {
namespace {

namespace fs = std::filesystem;
using capture::test::KestleProcess;
using test::recordNight;
using ::testing::HasSubstr;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<const Event*> ofKind(const SessionModel& m, EventKind k) {
    std::vector<const Event*> r;
    for (const Event& e : m.events)
        if (e.kind == k)
            r.push_back(&e);
    return r;
}

// Rows of the data log that hold readings (not headers, not question lines).
std::vector<std::string> readingRows(const std::string& log) {
    std::vector<std::string> r;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.find(", NA,") == std::string::npos && !line.starts_with("Time ") &&
            line.find(',') != std::string::npos)
            r.push_back(line);
    return r;
}

TEST(SessionReview, ANightsBagReadsBackWithItsReadingsEventsAndFiles) {
    KestleProcess k;
    const fs::path bag = recordNight(k);
    auto m = loadSession(bag);
    ASSERT_TRUE(m) << m.error();
    EXPECT_TRUE(m->problems.empty()) << m->problems.front();
    EXPECT_TRUE(m->ended);
    EXPECT_EQ(m->name, bag.filename().string());
    EXPECT_THAT(m->unit, HasSubstr("replay of"));
    EXPECT_EQ(m->settingsAtStart, read(bag / "data/settings-at-start.ini"));

    // Events in time order, from the start to the end.
    ASSERT_GE(m->events.size(), 4u);
    EXPECT_EQ(m->events.front().kind, EventKind::Start);
    EXPECT_EQ(m->events.back().kind, EventKind::End);
    for (std::size_t i = 1; i < m->events.size(); ++i)
        EXPECT_LE(m->events[i - 1].ms, m->events[i].ms);
    const auto questions = ofKind(*m, EventKind::Question);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0]->text, "Is anyone here?");
    EXPECT_EQ(questions[1]->text, "Can you give us a sign?");
    // The script's mark, between the questions, as the journal told it.
    const auto marks = ofKind(*m, EventKind::Mark);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0]->text, "Mark: Cold spot, \"stairs\"");
    EXPECT_EQ(marks[0]->detail, "script");
    EXPECT_GT(marks[0]->ms, questions[0]->ms);
    EXPECT_LE(marks[0]->ms, questions[1]->ms);
    EXPECT_THAT(k.out(), HasSubstr("MARK \"Cold spot, "));
    EXPECT_THAT(read(bag / "data/journal.jsonl"),
                HasSubstr(R"("event":"mark","note":"Cold spot, \"stairs\"","by":"script")"));
    // Every word chosen after a question answers it, in the journal's order.
    std::vector<std::string> words;
    for (const Event* w : ofKind(*m, EventKind::Word))
        if (w->ms >= questions[0]->ms)
            words.push_back(w->text);
    std::vector<std::string> answered = questions[0]->words;
    answered.insert(answered.end(), questions[1]->words.begin(), questions[1]->words.end());
    EXPECT_FALSE(questions[0]->words.empty());
    EXPECT_EQ(answered, words);
    EXPECT_FALSE(ofKind(*m, EventKind::Alarm).empty());
    for (EventKind kind : {EventKind::Recording, EventKind::Screen}) {
        const auto made = ofKind(*m, kind);
        ASSERT_FALSE(made.empty()) << eventKindName(kind);
        EXPECT_TRUE(fs::is_regular_file(bag / made[0]->file)) << made[0]->file;
    }

    // Readings: one per row of the data log, within the session, in order.
    const auto rows = readingRows(read(bag / "data/logs/CV_data_file.csv"));
    ASSERT_FALSE(rows.empty());
    for (const auto& s : m->series)
        EXPECT_EQ(s.size(),
                  rows.size() + readingRows(read(bag / "data/logs/CV_rf_threshold.csv")).size());
    const auto& threshold = m->series[int(Series::Threshold)];
    EXPECT_GE(threshold.front().ms, m->startMs - 1000);
    EXPECT_LE(threshold.back().ms, m->endMs + 1000);
    EXPECT_TRUE(std::is_sorted(threshold.begin(), threshold.end(),
                               [](const Point& a, const Point& b) { return a.ms < b.ms; }));

    // Every file with the digest it has.
    EXPECT_GE(m->files.size(), 8u);
    for (const FileEntry& f : m->files) {
        auto d = evidence::sha256File(bag / f.path);
        ASSERT_TRUE(d) << d.error();
        EXPECT_EQ(f.sha256, d->sha256) << f.path;
        EXPECT_EQ(f.size, d->size) << f.path;
    }

    // A sound recording lasts as long as its samples, and a moment inside it
    // (the alarm that started it) is heard from where the file had got to.
    const Event* sound = nullptr;
    for (const Event* r : ofKind(*m, EventKind::Recording))
        if (!sound && r->file.ends_with(".wav"))
            sound = r;
    ASSERT_NE(sound, nullptr);
    const double samples = double(fs::file_size(bag / sound->file) - 44) / 2;
    EXPECT_NEAR(double(sound->durationMs), samples * 1000 / 44100, 1);
    EXPECT_LE(sound->heardFromMs, sound->ms);
    const auto heard = recordingAt(m->events, sound->ms + 100);
    ASSERT_TRUE(heard);
    const Event& playing = m->events[heard->event];
    EXPECT_EQ(heard->fromMs, sound->ms + 100 - playing.heardFromMs);
    EXPECT_LE(playing.heardFromMs, sound->ms + 100);
    EXPECT_GT(playing.heardFromMs + playing.durationMs, sound->ms + 100);
    EXPECT_FALSE(recordingAt(m->events, m->startMs - 1));

    // A changed log is named, and the night still reads.
    {
        std::fstream log(bag / "data/logs/CV_data_file.csv",
                         std::ios::binary | std::ios::in | std::ios::out);
        log.seekp(0);
        log.put('#');
    }
    auto tampered = loadSession(bag);
    ASSERT_TRUE(tampered);
    ASSERT_FALSE(tampered->problems.empty());
    EXPECT_THAT(tampered->problems.front(), HasSubstr("data/logs/CV_data_file.csv"));
    EXPECT_FALSE(loadSession(k.data()));
}

std::string pdfText(const fs::path& pdf) {
    const std::string cmd = "pdftotext -layout '" + pdf.string() + "' - 2>&1";
    std::string out;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        ::pclose(p);
    return out;
}

// `kestle --report DIR FILE`: exit status, standard error.
std::pair<int, std::string> reportCommandLine(const fs::path& bag, const fs::path& pdf) {
    const std::string cmd = std::string(KESTLE_BINARY) + " --report '" + bag.string() + "' '" +
                            pdf.string() + "' 2>&1 >/dev/null";
    std::string out;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    const int status = p ? ::pclose(p) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(SessionReport, NamesTheQuestionsAlarmsAndEveryFileWithItsDigest) {
    KestleProcess k;
    const fs::path bag = recordNight(k);
    const fs::path pdf = k.dir() / "report.pdf";
    const auto [rc, err] = reportCommandLine(bag, pdf);
    ASSERT_EQ(rc, 0) << err;
    const std::string text = pdfText(pdf);
    auto m = loadSession(bag);
    ASSERT_TRUE(m);
    EXPECT_THAT(text, HasSubstr("Session Report - " + m->name));
    EXPECT_THAT(text, HasSubstr("the bag is valid"));
    EXPECT_THAT(text, HasSubstr(m->unit));
    for (const Event& e : m->events) {
        if (e.kind == EventKind::Question) {
            EXPECT_THAT(text, HasSubstr(e.text));
            for (const std::string& w : e.words)
                EXPECT_THAT(text, HasSubstr(w));
        }
    }
    // The marks with their time and who made them, apart from any reviewer's.
    const auto marks = ofKind(*m, EventKind::Mark);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_THAT(text, HasSubstr("Session marks"));
    EXPECT_THAT(text, testing::ContainsRegex(clockText(marks[0]->ms) +
                                             " +Mark: Cold spot, \"stairs\" +script"));
    // The alarms as episodes: when, which, how many trips, the peak.
    for (const AlarmEpisode& e : alarmEpisodes(m->events)) {
        EXPECT_THAT(text, HasSubstr(clockText(e.startMs)));
        EXPECT_THAT(text, HasSubstr("Voltage Above 2.5"));
        EXPECT_THAT(text, HasSubstr(e.peakReading));
    }
    for (const FileEntry& f : m->files) {
        EXPECT_THAT(text, HasSubstr(f.sha256)) << f.path;
        EXPECT_THAT(text, HasSubstr(f.path.substr(f.path.rfind('/') + 1))) << f.path;
    }

    // A folder that is no session's bag, and a file that cannot be made.
    auto [bad, why] = reportCommandLine(k.data(), k.dir() / "x.pdf");
    EXPECT_EQ(bad, 1);
    EXPECT_THAT(why, HasSubstr("is not a session's bag"));
    std::tie(bad, why) = reportCommandLine(bag, k.dir() / "no/such/folder/x.pdf");
    EXPECT_EQ(bad, 1);
    EXPECT_THAT(why, HasSubstr("the report could not be written"));
}

} // namespace
} // namespace kestle::review
