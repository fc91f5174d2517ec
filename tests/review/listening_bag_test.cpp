// SPDX-License-Identifier: GPL-3.0-or-later
// Listening to a night recorded by the program itself (headless, with the
// test tone as its microphone): the tone is not called voice, the moments
// print as the command line promises, analyses are cached outside the bag,
// the review ledger stays beside it, and a moment bag's cuts check out
// against their parent (and a changed parent is caught).
#include "capture/kestle_process.h"
#include "evidence/bagit.h"
#include "evidence/digest.h"
#include "fakes/temp_folder.h"
#include "review/bag_sound.h"
#include "review/listening_commands.h"
#include "review/moment_bag.h"
#include "review/review_ledger.h"
#include "review/sound_cache.h"
#include "review/spoken_night.h"
#include "review/time_text.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace kestle::review {
namespace {

namespace fs = std::filesystem;
using capture::test::KestleProcess;
using ::testing::HasSubstr;

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> split(const std::string& s, char by) {
    std::vector<std::string> out;
    std::stringstream in(s);
    for (std::string part; std::getline(in, part, by);)
        out.push_back(part);
    return out;
}

// The program run with `args`: its exit status, standard output and error.
struct Ran {
    int status = -1;
    std::string out, err;
};
Ran kestle(const std::string& args, const fs::path& scratch) {
    const fs::path err = scratch / "stderr.txt";
    Ran r;
    std::FILE* p = ::popen(
        (std::string(KESTLE_BINARY) + " " + args + " 2>'" + err.string() + "'").c_str(), "r");
    char buf[4096];
    for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        r.out.append(buf, n);
    const int status = p ? ::pclose(p) : -1;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read(err);
    return r;
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

// A night recorded by a headless session and a cache of this test's own.
class ListeningBag : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_CACHE_HOME", (scratch.path() / "cache").c_str(), 1);
        // Three seconds of the test tone and the test pattern recorded (the
        // data log is on from the start).
        k.start("click av1\nclick av3\nwait 3000\nclick av3\nclick av1\nwait 300\nquit\n");
        ASSERT_EQ(k.wait(), 0) << k.out();
        for (const auto& e : fs::directory_iterator(k.data() / "Sessions"))
            bag = e.path();
        auto m = loadSession(bag, false);
        ASSERT_TRUE(m) << m.error();
        model = std::move(*m);
        ASSERT_FALSE(soundRecordings(model).empty()) << "the alarm records sound";
    }
    kestle::test::TempFolder scratch;
    KestleProcess k;
    fs::path bag;
    SessionModel model;
};

TEST_F(ListeningBag, TheTestToneIsNotVoiceAndTheMomentsPrintOneALine) {
    const Ran run = kestle("--moments " + quoted(bag), scratch.path());
    ASSERT_EQ(run.status, 0) << run.err;
    for (const std::string& line : split(run.out, '\n')) {
        const auto f = split(line, '\t');
        ASSERT_EQ(f.size(), 6u) << line;
        EXPECT_TRUE(parseMomentTime(f[0])) << f[0];
        EXPECT_GT(std::stod(f[1]), 0);
        EXPECT_TRUE(f[2].starts_with("data/captures/") && f[2].ends_with(".wav")) << f[2];
        EXPECT_GE(std::stod(f[3]), 0);
        EXPECT_LE(std::stod(f[3]), 1);
        EXPECT_NE(f[4], "voice") << line; // a 440 Hz tone
        EXPECT_NE(f[4], "team") << line;
    }
    // The analysis went to the cache, nothing into the bag.
    EXPECT_TRUE(evidence::verifyBag(bag).empty());
    const Event& rec = *soundRecordings(model)[0];
    auto a = recordingAnalysis(bag, rec.file, manifestDigest(model, rec.file), soundCacheFolder());
    ASSERT_TRUE(a) << a.error();
    // The tone is there, loud, and not a voice.
    ASSERT_GT(a->level.size(), 200u);
    EXPECT_GT(a->level[a->level.size() / 2], -4000) << "hundredths of a dBFS";
    for (const Stretch& s : findStretches(*a))
        EXPECT_LT(s.voice, kVoiceAt) << s.fromMs;
    EXPECT_TRUE(fs::exists(soundCacheFile(soundCacheFolder(), manifestDigest(model, rec.file))));
    bool cached = false;
    auto again = recordingAnalysis(bag, rec.file, manifestDigest(model, rec.file),
                                   soundCacheFolder(), nullptr, {}, &cached);
    ASSERT_TRUE(again) << again.error();
    EXPECT_TRUE(cached);
    EXPECT_EQ(std::llround(again->durationMs() / 100), std::llround(double(rec.durationMs) / 100));

    const Ran bad = kestle("--moments " + quoted(scratch.path()), scratch.path());
    EXPECT_EQ(bad.status, 1);
    EXPECT_THAT(bad.err, HasSubstr("not a session's bag"));
}

TEST_F(ListeningBag, ACachedAnalysisThatDoesNotAgreeIsNotUsed) {
    const Event& rec = *soundRecordings(model)[0];
    const std::string sha = manifestDigest(model, rec.file);
    auto a = recordingAnalysis(bag, rec.file, sha, soundCacheFolder());
    ASSERT_TRUE(a) << a.error();
    const std::string bytes = encodeAnalysis(*a);
    auto back = decodeAnalysis(bytes);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back->level, a->level);
    EXPECT_EQ(back->voice, a->voice);
    EXPECT_EQ(back->overview.cells, a->overview.cells);
    EXPECT_FALSE(decodeAnalysis(bytes.substr(0, bytes.size() - 1)));
    std::string lying = bytes;
    lying[20] ^= 0x10; // the samples' count no longer fits the frames
    EXPECT_FALSE(decodeAnalysis(lying));
    // A cache file cut short is made again from the recording.
    std::ofstream(soundCacheFile(soundCacheFolder(), sha), std::ios::binary)
        << bytes.substr(0, 100);
    bool cached = true;
    ASSERT_TRUE(recordingAnalysis(bag, rec.file, sha, soundCacheFolder(), nullptr, {}, &cached));
    EXPECT_FALSE(cached);

    // The recording swapped for a link to the same bytes outside the bag is
    // not listened to, though a cached analysis of that digest is there.
    const fs::path outside = scratch.path() / "outside.wav";
    fs::rename(bag / rec.file, outside);
    fs::create_symlink(outside, bag / rec.file);
    cached = true;
    auto linked = recordingAnalysis(bag, rec.file, sha, soundCacheFolder(), nullptr, {}, &cached);
    ASSERT_FALSE(linked);
    EXPECT_THAT(linked.error(), HasSubstr("symbolic link"));
    EXPECT_THAT(linked.error(), HasSubstr(rec.file));
    const Ran moments = kestle("--moments " + quoted(bag), scratch.path());
    EXPECT_THAT(moments.err, HasSubstr("symbolic link")) << moments.out;
}

TEST_F(ListeningBag, TheLedgerStaysBesideTheBagAndNamesIt) {
    auto digest = bagDigest(bag);
    ASSERT_TRUE(digest) << digest.error();
    EXPECT_EQ(*digest, evidence::sha256Hex(read(bag / "tagmanifest-sha256.txt")));
    EXPECT_EQ(ledgerPath(bag), bag.parent_path() / (bag.filename().string() + ".review.jsonl"));
    const std::string file = soundRecordings(model)[0]->file;
    {
        auto l = ReviewLedger::open(bag, *digest);
        ASSERT_TRUE(l) << l.error();
        ASSERT_TRUE(l->played(file, 0, 1200, 1.5, model.start));
        ASSERT_TRUE(l->played(file, 1000, 2000, 1, model.start));
        ASSERT_TRUE(l->marked(file, 300, 900, kVerdictNothing, "", model.start));
        ASSERT_TRUE(l->marked(file, 300, 900, kVerdictKeep, "a \"whisper\"?", model.start));
    }
    // Another bag's review in the same file is not this one's.
    std::ofstream(ledgerPath(bag), std::ios::app)
        << "{\"bag\":\"" << std::string(64, '0') << "\",\"event\":\"played\",\"file\":\"" << file
        << "\",\"from\":0,\"to\":99999}\n";
    auto l = ReviewLedger::open(bag, *digest);
    ASSERT_TRUE(l) << l.error();
    EXPECT_EQ(l->entries().size(), 4u);
    EXPECT_EQ(l->entries()[0].speed, 1.5);
    EXPECT_EQ(l->heard(file), (Spans{{0, 2000}}));
    ASSERT_EQ(l->marks().size(), 1u);
    EXPECT_EQ(l->marks()[0].verdict, kVerdictKeep);
    EXPECT_EQ(l->marks()[0].note, "a \"whisper\"?");
    EXPECT_EQ(l->marks()[0].by, ReviewLedger::reviewer());
    EXPECT_DOUBLE_EQ(heardShare(l->heard(file), 4000), 0.5);
    EXPECT_TRUE(evidence::verifyBag(bag).empty()) << "nothing was written into the bag";
    // A ledger that is a link is refused, not followed.
    fs::rename(ledgerPath(bag), scratch.path() / "elsewhere.jsonl");
    fs::create_symlink(scratch.path() / "elsewhere.jsonl", ledgerPath(bag));
    EXPECT_FALSE(ReviewLedger::open(bag, *digest));
}

TEST_F(ListeningBag, AMomentBagHoldsTheCutAndItsLinkToTheParentChecksOut) {
    const Event& rec = *soundRecordings(model)[0];
    ASSERT_GT(rec.durationMs, 1500);
    const std::int64_t start = rec.heardFromMs + 400;
    const fs::path out = scratch.path() / "moment";
    const Ran made = kestle("--export-moment " + quoted(bag) + " " + momentTimeText(start) +
                                " 1.25 " + quoted(out),
                            scratch.path());
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(evidence::verifyBag(out).empty());
    const Ran ok = kestle("--verify " + quoted(out) + " --parent " + quoted(bag), scratch.path());
    EXPECT_EQ(ok.status, 0) << ok.out;

    // The cut is the parent's samples from that moment on, to the sample.
    std::map<std::string, std::string> info;
    for (auto& [key, v] : evidence::parseBagInfo(read(out / "bag-info.txt")))
        info[key] = v;
    // Which cut is the sound's, which the video's.
    std::string sound, video;
    for (int i = 1; info.count("Parent-File-" + std::to_string(i)); ++i)
        (info["Parent-File-" + std::to_string(i)].ends_with(".wav") ? sound : video) =
            "Parent-File-" + std::to_string(i);
    ASSERT_FALSE(sound.empty());
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(info["Parent-Bag"], model.name);
    EXPECT_EQ(info["Parent-Tagmanifest-SHA256"], *bagDigest(bag));
    EXPECT_EQ(info[sound], rec.file);
    EXPECT_EQ(info[sound + "-SHA256"], manifestDigest(model, rec.file));
    auto parent = openBagSound(bag, rec.file);
    auto cut = openBagSound(out, info[sound + "-Cut"]);
    ASSERT_TRUE(parent && cut);
    const int rate = (*parent)->rate();
    const auto first = std::uint64_t(std::llround(400.0 * rate / 1000));
    EXPECT_EQ(info[sound + "-Samples"],
              std::to_string(first) + "-" + std::to_string(first + std::uint64_t(1.25 * rate)));
    ASSERT_EQ((*cut)->frames(), std::uint64_t(1.25 * rate));
    const std::string whole = read(bag / rec.file), part = read(out / info[sound + "-Cut"]);
    EXPECT_EQ(part.substr(44), whole.substr(std::size_t((*parent)->layout().dataOffset + first * 2),
                                            part.size() - 44));
    EXPECT_THAT(read(out / "data/moment.txt"), HasSubstr("cut at sample precision"));
    // The video is kept whole, and said to be.
    EXPECT_THAT(read(out / "data/moment.txt"), HasSubstr("kept whole"));
    EXPECT_TRUE(info[video].ends_with(".AVI")) << info[video];
    EXPECT_EQ(info[video + "-Bytes"], "whole");
    EXPECT_EQ(read(out / info[video + "-Cut"]), read(bag / info[video]));
    EXPECT_TRUE(
        fs::exists(out / ("data/spectrogram-" + fs::path(rec.file).filename().string() + ".png")));
    for (const std::string& line : split(read(out / "data/journal.jsonl"), '\n')) {
        const std::int64_t t = model.startMs + std::stoll(line.substr(line.find("\"t\":") + 4));
        EXPECT_GE(t, start);
        EXPECT_LT(t, start + 1250);
    }
    EXPECT_THAT(read(out / "data/logs/CV_data_file.csv"), HasSubstr("Time"));

    // A parent changed in the cut's bytes, or another bag, is caught.
    {
        std::fstream f(bag / rec.file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff((*parent)->layout().dataOffset + first * 2 + 10));
        f.put('\x55');
    }
    const auto problems = verifyMomentParent(out, bag);
    ASSERT_FALSE(problems.empty());
    EXPECT_THAT(problems[0], HasSubstr("changed"));
    std::ofstream(bag / "tagmanifest-sha256.txt", std::ios::app) << "\n";
    const Ran bad = kestle("--verify " + quoted(out) + " --parent " + quoted(bag), scratch.path());
    EXPECT_EQ(bad.status, 1);
    EXPECT_THAT(bad.out, HasSubstr("tagmanifest-sha256.txt"));
    // A moment is always a new folder.
    EXPECT_FALSE(exportMoment(model, start, 1000, out, "2026-12-08"));
}

} // namespace
} // namespace kestle::review

namespace kestle::review {
namespace {

// The speech output's words at the journal's speech events are the team's;
// a voice no one in the journal made is a voice; knocks and a tone are sounds.
TEST(SpokenNight, TheTeamsWordsAreTeamAndAStrangersVoiceIsAVoice) {
    kestle::test::TempFolder scratch;
    ::setenv("XDG_CACHE_HOME", (scratch.path() / "cache").c_str(), 1);
    KestleProcess k;
    const test::SpokenNight n = test::recordSpokenNight(k);
    ASSERT_FALSE(n.team.empty()) << "the speech output spoke";
    auto m = loadSession(n.bag);
    ASSERT_TRUE(m) << m.error();
    EXPECT_TRUE(m->problems.empty()) << m->problems.front();
    auto moments = nightMoments(*m, soundCacheFolder());
    ASSERT_TRUE(moments) << moments.error();
    auto over = [&](const test::Placed& p) {
        std::vector<const Moment*> r;
        for (const Moment& mo : *moments)
            if (double(mo.offsetMs) / 1000 < p.to &&
                p.from < double(mo.offsetMs + mo.lengthMs) / 1000)
                r.push_back(&mo);
        return r;
    };
    // The team's words are never a stranger's voice. A word of a quarter
    // of a second may have too few voiced frames to be called a voice at
    // all (then it is a sound); at least half are heard as the team's.
    std::size_t heardAsTeam = 0;
    for (const test::Placed& p : n.team) {
        EXPECT_FALSE(over(p).empty()) << "a word spoken at " << p.from << " s";
        bool team = false;
        for (const Moment* mo : over(p)) {
            EXPECT_NE(mo->kind, MomentKind::Voice) << momentLine(*mo);
            team = team || mo->kind == MomentKind::Team;
        }
        heardAsTeam += team;
    }
    std::printf("team words heard as the team's: %zu of %zu\n", heardAsTeam, n.team.size());
    EXPECT_GE(heardAsTeam * 2, n.team.size());
    const auto stranger = over(n.stranger);
    ASSERT_EQ(stranger.size(), 1u);
    EXPECT_EQ(stranger[0]->kind, MomentKind::Voice) << momentLine(*stranger[0]);
    std::printf("stranger %.2f-%.2f s found %.2f-%.2f s\n", n.stranger.from, n.stranger.to,
                double(stranger[0]->offsetMs) / 1000,
                double(stranger[0]->offsetMs + stranger[0]->lengthMs) / 1000);
    EXPECT_NEAR(double(stranger[0]->offsetMs) / 1000, n.stranger.from, 0.3);
    EXPECT_NEAR(double(stranger[0]->offsetMs + stranger[0]->lengthMs) / 1000, n.stranger.to, 0.3);
    EXPECT_EQ(&moments->front(), stranger[0]) << "the stranger ranks first";
    for (const test::Placed& p : {n.knocks, n.tone}) {
        ASSERT_FALSE(over(p).empty());
        for (const Moment* mo : over(p))
            EXPECT_EQ(mo->kind, MomentKind::Sound) << momentLine(*mo);
    }
}

} // namespace
} // namespace kestle::review

namespace kestle::review {
namespace {

// Not a test: keeps a spoken night in $KESTLE_DEMO_DIR for looking at it
// (screenshots of the review window). Run with --gtest_also_run_disabled_tests.
TEST(SpokenNight, DISABLED_KeepOneToLookAt) {
    const char* to = std::getenv("KESTLE_DEMO_DIR");
    ASSERT_NE(to, nullptr) << "set KESTLE_DEMO_DIR";
    KestleProcess k;
    const test::SpokenNight n = test::recordSpokenNight(k);
    fs::create_directories(to);
    fs::copy(n.bag, fs::path(to) / n.bag.filename(), fs::copy_options::recursive);
    std::printf("%s\n", (fs::path(to) / n.bag.filename()).c_str());
}

} // namespace
} // namespace kestle::review
