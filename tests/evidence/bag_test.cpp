// SPDX-License-Identifier: GPL-3.0-or-later
// Bags sealed and verified: a sealed bag is valid, and any change to it
// (a byte, a file gone, a file added, a tag file edited) is named.
#include "evidence/bagit.h"
#include "evidence/hash_cache.h"
#include "evidence/journal.h"
#include "evidence/replay_plan.h"
#include "evidence/trace_gz.h"
#include "fakes/temp_folder.h"

#include <gmock/gmock.h>

#include <fstream>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using ::testing::HasSubstr;

void write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string joined(const std::vector<std::string>& v) {
    std::string r;
    for (const auto& s : v)
        r += s + "\n";
    return r;
}

// A name with the characters manifests must encode.
const std::string kOddName = "odd 100%\nname.txt";

fs::path sealedBag(const fs::path& dir) {
    write(dir / "data" / "logs" / "CV_data_file.csv", "Time ,Ch A\r\nrow\r\n");
    write(dir / "data" / "captures" / kOddName, std::string(3000, 'x'));
    write(dir / "data" / "journal.jsonl", "{}\n");
    write(dir / ".lock", ""); // hidden: neither payload nor tag file
    EXPECT_TRUE(sealBag(dir, {{"External-Description", std::string(200, 'w')}}, "2026-12-07"));
    return dir;
}

TEST(Bag, ASealedBagIsValidAndEveryChangeIsNamed) {
    TempFolder tmp;
    const fs::path bag = sealedBag(tmp.path() / "bag");
    EXPECT_EQ(joined(verifyBag(bag)), "");
    EXPECT_THAT(read(bag / "bag-info.txt"), HasSubstr("Payload-Oxum: 3020.3\n"));
    EXPECT_EQ(read(bag / "bagit.txt"), "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");

    struct Change {
        const char* what;
        std::function<void(const fs::path&)> make;
        std::string named;
    };
    const std::vector<Change> changes = {
        {"one byte of a capture",
         [](const fs::path& b) {
             std::string c = read(b / "data/captures" / kOddName);
             c[1234] = 'y';
             write(b / "data/captures" / kOddName, c);
         },
         // A name's line feed is shown, never printed.
         "data/captures/odd 100%\\x0Aname.txt: checksum does not match"},
        {"a log deleted", [](const fs::path& b) { fs::remove(b / "data/logs/CV_data_file.csv"); },
         "data/logs/CV_data_file.csv: listed in manifest-sha256.txt but missing"},
        {"a file added", [](const fs::path& b) { write(b / "data/extra.txt", "planted"); },
         "data/extra.txt: not listed in manifest-sha256.txt"},
        {"a tag file edited",
         [](const fs::path& b) { write(b / "bag-info.txt", read(b / "bag-info.txt") + "X: y\n"); },
         "bag-info.txt: checksum does not match tagmanifest-sha256.txt"},
        {"no declaration", [](const fs::path& b) { fs::remove(b / "bagit.txt"); }, "bagit.txt: "},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        const fs::path copy = tmp.path() / "copy";
        fs::remove_all(copy);
        fs::copy(bag, copy, fs::copy_options::recursive);
        c.make(copy);
        EXPECT_THAT(joined(verifyBag(copy)), HasSubstr(c.named));
    }
}

// A capture hashed while the session ran is not read again by the seal
// (through its hard link in the bag), unless it changed since.
TEST(Bag, TheSealUsesDigestsOfFinishedFilesAndNeverAStaleOne) {
    TempFolder tmp;
    const fs::path capture = tmp.path() / "1 Alarm_Audio.wav";
    write(capture, std::string(100000, 'a'));
    HashCache cache;
    ASSERT_TRUE(cache.digest(capture));
    const fs::path bag = tmp.path() / "bag";
    fs::create_directories(bag / "data");
    fs::create_hard_link(capture, bag / "data" / capture.filename());
    ASSERT_TRUE(sealBag(bag, {}, "2026-12-07", &cache));
    EXPECT_EQ(cache.hits(), 1);
    EXPECT_EQ(joined(verifyBag(bag)), "");

    // Same size, new bytes, a later time: read again.
    write(capture, std::string(100000, 'b'));
    fs::last_write_time(capture, fs::last_write_time(capture) + std::chrono::seconds(5));
    ASSERT_TRUE(sealBag(bag, {}, "2026-12-07", &cache));
    EXPECT_EQ(cache.hits(), 1);
    EXPECT_EQ(joined(verifyBag(bag)), "");
    EXPECT_THAT(read(bag / "manifest-sha256.txt"), HasSubstr(sha256Hex(std::string(100000, 'b'))));
}

TEST(Bag, TagTextsReadBackAsWritten) {
    std::string words;
    for (int i = 0; i < 40; ++i)
        words += " word" + std::to_string(i);
    const BagInfo info = {{"Payload-Oxum", "1.1"},
                          {"External-Description", words.substr(1)},
                          {"Unit", std::string(90, 'u') + " x"}};
    const std::string text = bagInfoText(info);
    const std::string described = text.substr(0, text.find("Unit:"));
    for (std::size_t at = 0, end; (end = described.find('\n', at)) != std::string::npos;
         at = end + 1)
        EXPECT_LE(end - at, 79u); // folded at blanks
    EXPECT_GE(std::count(described.begin(), described.end(), '\n'), 4);
    EXPECT_EQ(parseBagInfo(text), info);

    const std::vector<ManifestLine> lines = {{"ab", "data/" + kOddName}, {"cd", "data/a\rb"}};
    auto back = parseManifest(manifestText(lines));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 2u);
    EXPECT_EQ((*back)[0].path, lines[0].path);
    EXPECT_EQ((*back)[1].path, lines[1].path);
    EXPECT_FALSE(parseManifest("onlyonefield\n"));
}

// A journal line is one JSON object whatever the text holds; after a kill
// in the middle of a line, the last whole line still tells the time.
TEST(Journal, LinesStayWholeAndTheLastWholeLineTellsTheTime) {
    TempFolder tmp;
    const fs::path p = tmp.path() / "journal.jsonl";
    {
        Journal j;
        ASSERT_TRUE(j.open(p));
        j.write(5, LocalDateTime{2026, 12, 7, 4, 50, 20}, "question",
                JsonFields().add("text", "Who \"is\" there?\r\n\x01\\").add("level", -3));
        j.write(1500, LocalDateTime{2026, 12, 7, 4, 50, 21}, "end");
    }
    const std::string text = read(p);
    EXPECT_EQ(text, "{\"t\":5,\"time\":\"2026-12-07T04:50:20\",\"event\":\"question\","
                    "\"text\":\"Who \\\"is\\\" there?\\r\\n\\u0001\\\\\",\"level\":-3}\n"
                    "{\"t\":1500,\"time\":\"2026-12-07T04:50:21\",\"event\":\"end\"}\n");
    EXPECT_EQ(lastJournalTime(text), "2026-12-07T04:50:21");
    EXPECT_EQ(lastJournalTime(text + "{\"t\":1600,\"time\":\"2026-12-07T04:5"),
              "2026-12-07T04:50:21");
    EXPECT_EQ(lastJournalTime(""), "");

    // Its fields, whatever the strings before them hold; a line of another
    // form is read all the same.
    const std::string line = "{\"t\":7,\"text\":\"a \\\"t\\\":9, \\\\\",\"event\":\"word\"}";
    EXPECT_EQ(journalField(line, "t"), "7");
    EXPECT_EQ(journalField(line, "text"), "a \"t\":9, \\");
    EXPECT_EQ(journalField(line, "event"), "word");
    EXPECT_EQ(journalField(line, "level"), std::nullopt);
    EXPECT_EQ(journalField(" {\"a\":[1],\"event\":\"x\"}", "event"), "x");
    EXPECT_EQ(journalField("{\"t\":5", "t"), "5");
}

std::string gunzip(const fs::path& p, bool* whole) {
    auto read = readGzipText(p);
    EXPECT_TRUE(read) << read.error();
    *whole = read && read->whole;
    return read ? read->text : std::string();
}

// What was flushed can be read from a trace whose writer never closed it
// (a kill), and the repair makes it a whole gzip file again.
TEST(GzTrace, FlushedLinesSurviveAKillAndTheRepairMakesTheFileWhole) {
    TempFolder tmp;
    long long now = 0;
    int pendings = 0;
    GzTrace trace([&now] { return now; });
    trace.onPending = [&pendings] { ++pendings; };
    ASSERT_TRUE(trace.open(tmp.path() / "trace.gz"));
    trace.stream() << "> 00 01 02 03 04 05 06 07 # t=0\n" << std::flush;
    trace.stream() << "% 00 01 02 03 04 05 06 07 # t=10\n" << std::flush;
    EXPECT_EQ(pendings, 1); // one timer for the lines of the same second
    now = 1000;
    trace.stream() << "= 00 01 02 03 04 05 06 07 # t=1000\n" << std::flush; // a second: flushed
    trace.stream() << "/ 00 01 02 03 04 05 06 07 # t=1000\n";               // pending
    fs::copy_file(tmp.path() / "trace.gz", tmp.path() / "killed.gz");

    bool whole = true;
    const std::string killed = gunzip(tmp.path() / "killed.gz", &whole);
    EXPECT_FALSE(whole);
    EXPECT_EQ(std::count(killed.begin(), killed.end(), '\n'), 3);
    auto repaired = repairGzip(tmp.path() / "killed.gz");
    ASSERT_TRUE(repaired);
    EXPECT_TRUE(*repaired);
    EXPECT_EQ(gunzip(tmp.path() / "killed.gz", &whole), killed);
    EXPECT_TRUE(whole);
    EXPECT_FALSE(*repairGzip(tmp.path() / "killed.gz"));

    ASSERT_TRUE(trace.close());
    const std::string closed = gunzip(tmp.path() / "trace.gz", &whole);
    EXPECT_TRUE(whole);
    EXPECT_EQ(closed, killed + "/ 00 01 02 03 04 05 06 07 # t=1000\n");
}

// The folder removed under an open trace: what it held is read back from the
// open file, what comes is kept, and a new file starts with all of it.
TEST(GzTrace, AFolderRemovedUnderTheTraceLosesNoLine) {
    TempFolder tmp;
    GzTrace trace([] { return 0LL; });
    fs::create_directories(tmp.path() / "a");
    ASSERT_TRUE(trace.open(tmp.path() / "a/trace.gz"));
    trace.stream() << "> 1\n" << std::flush;
    trace.flush();
    trace.stream() << "> 2\n" << std::flush; // not yet flushed
    fs::remove_all(tmp.path() / "a");
    ASSERT_TRUE(trace.keepInMemory(1 << 20));
    trace.stream() << "> 3\n" << std::flush;
    ASSERT_TRUE(trace.open(tmp.path() / "b.gz"));
    trace.stream() << "> 4\n" << std::flush;
    ASSERT_TRUE(trace.keepInMemory(1 << 20)); // its name is still there: read back all the same
    ASSERT_TRUE(trace.open(tmp.path() / "c.gz"));
    ASSERT_TRUE(trace.close());
    bool whole = false;
    EXPECT_EQ(gunzip(tmp.path() / "c.gz", &whole), "> 1\n> 2\n> 3\n> 4\n");
    EXPECT_TRUE(whole);
}

// A session killed before its first exchange leaves a gzip file cut short,
// never an empty file; the seal makes it, or an empty one, a whole empty
// trace. A damaged one is left as it is.
TEST(GzTrace, ATraceWithNoExchangeIsSealedAsAWholeEmptyGzipFile) {
    TempFolder tmp;
    GzTrace trace([] { return 0LL; });
    ASSERT_TRUE(trace.open(tmp.path() / "trace.gz"));
    fs::copy_file(tmp.path() / "trace.gz", tmp.path() / "killed.gz");
    write(tmp.path() / "empty.gz", "");
    for (const char* name : {"killed.gz", "empty.gz"}) {
        SCOPED_TRACE(name);
        bool whole = true;
        EXPECT_EQ(gunzip(tmp.path() / name, &whole), "");
        EXPECT_FALSE(whole);
        auto repaired = repairGzip(tmp.path() / name);
        ASSERT_TRUE(repaired) << repaired.error();
        EXPECT_TRUE(*repaired);
        EXPECT_EQ(gunzip(tmp.path() / name, &whole), "");
        EXPECT_TRUE(whole);
    }
    ASSERT_TRUE(trace.close());
    bool whole = false;
    EXPECT_EQ(gunzip(tmp.path() / "trace.gz", &whole), "");
    EXPECT_TRUE(whole);

    // Its check sum spoilt: damaged, not merely cut short.
    std::string bytes = read(tmp.path() / "trace.gz");
    bytes[bytes.size() - 8] ^= 1;
    write(tmp.path() / "damaged.gz", bytes);
    auto damaged = repairGzip(tmp.path() / "damaged.gz");
    ASSERT_FALSE(damaged);
    EXPECT_THAT(damaged.error(), HasSubstr("it is left as it is"));
    EXPECT_EQ(read(tmp.path() / "damaged.gz"), bytes);
}

} // namespace
} // namespace kestle::evidence
