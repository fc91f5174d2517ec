// SPDX-License-Identifier: GPL-3.0-or-later
// Bags that someone made to fool, hang or crash whoever reads them, each
// built here, and honest bags of every shape the RFC allows: the verifier
// refuses the first and accepts the second, and nothing outside a bag is
// ever opened.
#include "evidence/bag_verify.h"
#include "fakes/hand_bag.h"
#include "fakes/open_watch.h"
#include "fakes/program_run.h"
#include "fakes/temp_folder.h"
#include "review/session_model.h"

#include <gmock/gmock.h>

#include <csignal>
#include <fstream>
#include <future>
#include <sys/stat.h>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using test::HandBag;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

const std::string kStart = "{\"t\":0,\"time\":\"2026-12-07T04:50:20\",\"event\":\"start\","
                           "\"version\":\"kestle\",\"unit\":\"simulated, seed 1\"}\n";

std::string all(const Verification& v) {
    std::string s;
    for (const auto* list : {&v.problems, &v.unchecked, &v.warnings})
        for (const std::string& line : *list)
            s += line + "\n";
    return s;
}

test::ProgramRun kestle(const std::vector<std::string>& args,
                        const std::function<void(pid_t)>& whileRunning = {}) {
    std::vector<std::string> argv = {KESTLE_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::runProgram(argv, 60s, whileRunning);
}

TEST(HostileBag, ALinkOutOfTheBagIsRefusedAndNothingOutsideIsEverOpened) {
    TempFolder tmp;
    const fs::path outside = tmp.path() / "elsewhere";
    HandBag bag(tmp.path() / "bag");
    HandBag(outside).file("planted.jpg", "not the night's picture").file("secret.txt", "secret");
    fs::create_directories(bag.dir() / "data/captures");
    fs::create_directory_symlink(outside, bag.dir() / "data/captures/d");
    fs::create_symlink(outside / "secret.txt", bag.dir() / "data/notes.txt");
    // The links' targets listed with their right digests.
    bag.file("data/journal.jsonl",
             kStart + "{\"t\":5,\"time\":\"2026-12-07T04:50:20\",\"event\":\"status\","
                      "\"text\":\"Screen captured: planted.jpg\"}\n")
        .seal();
    test::OpenWatch watch(outside);
    ASSERT_TRUE(watch.ready());

    const auto verify = kestle({"--verify", bag.dir().string()});
    EXPECT_EQ(verify.status, 1) << verify.out;
    EXPECT_THAT(verify.err, HasSubstr("data/captures/d: a symbolic link"));
    EXPECT_THAT(verify.err, HasSubstr("data/captures/d/secret.txt: listed in manifest-sha256.txt, "
                                      "but its folder data/captures/d is a symbolic link"));
    EXPECT_THAT(verify.err, HasSubstr("data/notes.txt: a symbolic link"));
    EXPECT_EQ(verify.out, "");
    const auto report = kestle({"--report", bag.dir().string(), (tmp.path() / "r.pdf").string()});
    EXPECT_EQ(report.status, 0) << report.err;
    EXPECT_THAT(report.err, HasSubstr("failed verification"));
    auto model = review::loadSession(bag.dir());
    ASSERT_TRUE(model) << model.error();
    EXPECT_THAT(model->problems, testing::Contains(HasSubstr("data/notes.txt: a symbolic link")));
    EXPECT_TRUE(watch.opened().empty()) << *watch.opened().begin();
}

TEST(HostileBag, ALinkToDevZeroOrAFifoIsRefusedAtOnceByEveryReader) {
    TempFolder tmp;
    HandBag bag(tmp.path() / "bag");
    fs::create_symlink("/dev/zero", bag.dir() / "data/zero.wav");
    ASSERT_EQ(::mkfifo((bag.dir() / "data/fifo.wav").c_str(), 0600), 0);
    bag.file("data/journal.jsonl", kStart)
        .listed(sha256Hex("") + "  data/zero.wav")
        .listed(sha256Hex("") + "  data/fifo.wav")
        .seal();
    const auto verify = kestle({"--verify", bag.dir().string()});
    ASSERT_FALSE(verify.timedOut);
    EXPECT_EQ(verify.status, 1);
    EXPECT_THAT(verify.err, HasSubstr("data/zero.wav: a symbolic link"));
    EXPECT_THAT(verify.err, HasSubstr("data/fifo.wav: not a regular file (a FIFO)"));
    EXPECT_THAT(verify.err, Not(HasSubstr("checksum does not match")));
    const auto report = kestle({"--report", bag.dir().string(), (tmp.path() / "r.pdf").string()});
    ASSERT_FALSE(report.timedOut);
    EXPECT_EQ(report.status, 0) << report.err;
    // The review reads the same bag (its recordings' headers too).
    auto review = std::async(std::launch::async, [&] { return review::loadSession(bag.dir()); });
    ASSERT_EQ(review.wait_for(30s), std::future_status::ready);
    EXPECT_TRUE(review.get());
}

// A journal of 2 GiB (sparse: no disk used) is refused unread, where it
// was once read whole into memory.
TEST(HostileBag, AJournalPastItsLimitIsRefusedUnread) {
    TempFolder tmp;
    HandBag bag(tmp.path() / "bag");
    bag.file("data/journal.jsonl", kStart);
    fs::resize_file(bag.dir() / "data/journal.jsonl", 2ull << 30);
    auto review = std::async(std::launch::async, [&] { return review::loadSession(bag.dir()); });
    ASSERT_EQ(review.wait_for(30s), std::future_status::ready);
    auto m = review.get();
    ASSERT_FALSE(m);
    EXPECT_THAT(m.error(), HasSubstr("data/journal.jsonl: larger than 1 GiB; not read"));
}

TEST(HostileBag, EveryManifestEveryEntryAndFetchTxtAreChecked) {
    TempFolder tmp;
    const std::vector<DigestAlgorithm> both = {DigestAlgorithm::Sha256, DigestAlgorithm::Sha512};
    struct Case {
        const char* what;
        std::function<void(HandBag&)> make;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"a second manifest with a wrong digest",
         [&](HandBag& b) {
             b.seal({both});
             std::string m = HandBag::read(b.dir() / "manifest-sha512.txt");
             m[0] = m[0] == '0' ? '1' : '0';
             b.file("manifest-sha512.txt", m);
         },
         1, "data/a.txt: checksum does not match manifest-sha512.txt"},
        {"a file listed twice",
         [](HandBag& b) { b.listed(sha256Hex("alpha") + "  data/a.txt").seal(); }, 1,
         "data/a.txt: listed twice in manifest-sha256.txt"},
        {"a file to fetch that is not there",
         [](HandBag& b) {
             b.listed(sha256Hex("later") + "  data/later.bin")
                 .file("fetch.txt", "https://example.org/later.bin 5 data/later.bin\n")
                 .seal();
         },
         1, "data/later.bin: listed in fetch.txt but not fetched"},
        {"a file to fetch out of the bag",
         [](HandBag& b) { b.file("fetch.txt", "https://example.org/x - data/../../x\n").seal(); },
         1, "fetch.txt, line 1: data/../../x: goes up a folder"},
        {"a length in fetch.txt that is not one",
         [](HandBag& b) {
             b.file("fetch.txt", "https://example.org/a.txt x5 data/a.txt\n").seal();
         },
         1, "fetch.txt, line 1: the length x5 is neither a number of bytes nor \"-\""},
        {"a file to fetch that was fetched",
         [](HandBag& b) { b.file("fetch.txt", "https://example.org/a.txt 5 data/a.txt\n").seal(); },
         0, ""},
        {"a tag file changed",
         [](HandBag& b) {
             b.seal();
             b.file("bag-info.txt", HandBag::read(b.dir() / "bag-info.txt") + "Extra: yes\n");
         },
         1, "bag-info.txt: checksum does not match tagmanifest-sha256.txt"},
        {"a payload file added", [](HandBag& b) { b.seal().file("data/planted.txt", "x"); }, 1,
         "data/planted.txt: not listed in manifest-sha256.txt"},
        {"a tag manifest that leaves out a manifest",
         [&](HandBag& b) {
             b.seal({both});
             std::string t = HandBag::read(b.dir() / "tagmanifest-sha256.txt");
             t.erase(t.find(sha256Hex(HandBag::read(b.dir() / "manifest-sha512.txt"))));
             b.file("tagmanifest-sha256.txt", t);
         },
         1, "tagmanifest-sha256.txt: does not list the payload manifest manifest-sha512.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HandBag bag(tmp.path() / c.what);
        bag.file("data/a.txt", "alpha").file("data/sub/b.txt", "beta");
        c.make(bag);
        const Verification v = checkBag(bag.dir());
        EXPECT_EQ(v.exitStatus(), c.status) << all(v);
        EXPECT_THAT(all(v), HasSubstr(c.says));
    }
}

TEST(HostileBag, HonestBagsOfEveryShapeTheRfcAllowsAreValid) {
    TempFolder tmp;
    using A = DigestAlgorithm;
    const std::string nfc = "N\xC3\xBA\xC3\xB1"
                            "ez",
                      nfd = "Nu\xCC\x81n\xCC\x83"
                            "ez";
    struct Case {
        const char* what;
        std::function<void(HandBag&)> make;
        std::string warns; // empty: no warning
    };
    const std::vector<Case> cases = {
        {"no Payload-Oxum",
         [](HandBag& b) {
             b.seal({{A::Sha256}, true, false});
         },
         ""},
        {"no bag-info.txt",
         [](HandBag& b) {
             b.seal({{A::Sha256}, false});
         },
         ""},
        {"no tag manifest",
         [](HandBag& b) {
             b.seal({{A::Sha256}, true, true, false});
         },
         ""},
        {"md5 only", [](HandBag& b) { b.seal({{A::Md5}}); }, ""},
        {"sha1 only", [](HandBag& b) { b.seal({{A::Sha1}}); }, ""},
        {"sha512 only", [](HandBag& b) { b.seal({{A::Sha512}}); }, ""},
        {"four manifests",
         [](HandBag& b) {
             b.seal({{A::Md5, A::Sha1, A::Sha256, A::Sha512}});
         },
         ""},
        {"upper-case digests",
         [](HandBag& b) {
             b.seal({{A::Md5}, false, false, false});
             std::string m = HandBag::read(b.dir() / "manifest-md5.txt");
             for (std::size_t line = 0; line < m.size(); line = m.find('\n', line) + 1)
                 for (std::size_t i = line; m[i] != ' '; ++i)
                     m[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(m[i])));
             b.file("manifest-md5.txt", m);
         },
         ""},
        {"paths that start with ./",
         [](HandBag& b) {
             b.seal({{A::Sha256}, true, true, false});
             std::string m = HandBag::read(b.dir() / "manifest-sha256.txt");
             for (std::size_t at = 0; (at = m.find("  data/", at)) != std::string::npos; at += 4)
                 m.replace(at, 2, "  ./");
             b.file("manifest-sha256.txt", m);
         },
         "written with a leading \"./\""},
        {"names with a CR, a LF and a %",
         [](HandBag& b) { b.file("data/odd 100%\r\nname.txt", "odd").seal(); }, ""},
        {"a name listed in NFC, written in NFD",
         [&](HandBag& b) {
             b.file("data/" + nfc, "accents").seal();
             fs::rename(b.dir() / "data" / nfc, b.dir() / "data" / nfd);
         },
         "in another Unicode normalisation than the file's name"},
        {"names that differ only in case",
         [](HandBag& b) { b.file("data/Night.wav", "1").file("data/NIGHT.wav", "2").seal(); },
         "names that differ only in case"},
        {"a hard link",
         [](HandBag& b) {
             b.file("data/x.wav", std::string(3 << 20, 'x'));
             fs::create_hard_link(b.dir() / "data/x.wav", b.dir() / "data/copy of x.wav");
             b.seal();
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HandBag bag(tmp.path() / c.what);
        bag.file("data/a.txt", "alpha").file("data/sub/b.txt", "beta");
        c.make(bag);
        std::uint64_t hashed = 0;
        VerifyOptions options;
        options.progress = [&hashed](std::uint64_t done, std::uint64_t) { hashed = done; };
        const Verification v = checkBag(bag.dir(), options);
        EXPECT_EQ(v.exitStatus(), 0) << all(v);
        if (c.warns.empty())
            EXPECT_EQ(all(v), "");
        else
            EXPECT_THAT(all(v), HasSubstr(c.warns));
        EXPECT_LT(hashed, 6u << 20); // each file read once, a hard link's too
    }
    // The same names, but a "%" not written as %25 is refused in 1.0.
    HandBag stray(tmp.path() / "stray");
    stray.file("data/100%.txt", "x").seal();
    std::string m = HandBag::read(stray.dir() / "manifest-sha256.txt");
    m.replace(m.find("%25"), 3, "%");
    stray.file("manifest-sha256.txt", m);
    EXPECT_THAT(checkBag(stray.dir()).problems,
                testing::Contains(HasSubstr("a \"%\" in a name must be written %25")));
}

// A check of a huge bag ends at once on SIGTERM, where it once went on to
// hash everything with the signal ignored.
TEST(HostileBag, ASignalEndsTheCheckOfAHugeBagAtOnce) {
    TempFolder tmp;
    HandBag bag(tmp.path() / "bag");
    bag.listed(std::string(64, '0') + "  data/huge.bin").seal();
    bag.file("data/huge.bin", "");
    fs::resize_file(bag.dir() / "data/huge.bin", 64ull << 30); // sparse
    bool sent = false;
    const auto run = kestle({"--verify", bag.dir().string()}, [&sent](pid_t pid) {
        if (sent)
            return;
        // Sent once the hashing is well under way.
        std::ifstream io("/proc/" + std::to_string(pid) + "/io");
        std::string key;
        std::uint64_t value = 0;
        while (io >> key >> value)
            if (key == "rchar:" && value > (64u << 20)) {
                ::kill(pid, SIGTERM);
                sent = true;
            }
    });
    ASSERT_TRUE(sent);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    EXPECT_THAT(run.err, HasSubstr("the check was stopped before its end"));
}

} // namespace
} // namespace kestle::evidence
