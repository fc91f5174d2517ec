// SPDX-License-Identifier: GPL-3.0-or-later
// The index repair of AVIs that avimux never finished: real recordings
// killed or cut off by a full disk, repaired, then played by GStreamer and
// rebuilt as recorded; every way the end can be cut off; a kill at each step
// of the repair; links into a sealed bag; hostile files.
#include "avi_recording.h"
#include "capture/avi_repair.h"
#include "evidence/bagit.h"
#include "evidence/digest.h"
#include "fakes/temp_folder.h"
#include "kestle_process.h"
#include "media_check.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

namespace kestle::capture::test {
namespace {

using kestle::test::TempFolder;
using ::testing::HasSubstr;
using Outcome = AviRepair::Outcome;

void writeBytes(const fs::path& p, const std::string& b) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << b;
}

std::string le32s(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[std::size_t(i)] = char(v >> (8 * i) & 0xFF);
    return s;
}

// Where each chunk after 'movi' starts, and its size, walked independently.
std::vector<std::pair<std::size_t, std::uint32_t>> chunksOf(const std::string& b) {
    std::vector<std::pair<std::size_t, std::uint32_t>> r;
    for (std::size_t at = readAviBytes(b).moviFourcc + 4; at + 8 <= b.size();) {
        const std::uint32_t size = le32(b, at + 4);
        if (at + 8 + size > b.size())
            break;
        r.emplace_back(at, size);
        at += 8 + size + (size & 1);
    }
    return r;
}

// Repairs `file` and checks what every repair must give: a header that
// states the whole chunks, an index that points at them, the recorded bytes
// kept but for the rewritten fields, GStreamer playing every indexed frame
// for the stated duration, the file as recorded rebuilt from the tag, and a
// second repair that changes nothing.
AviRepair expectRepaired(const fs::path& file, const fs::path& scratch) {
    const std::string recorded = fileBytes(file);
    const Avi before = readAvi(file);
    EXPECT_FALSE(before.indexed);
    auto r = repairAvi(file);
    EXPECT_TRUE(r) << r.error();
    if (!r)
        return {};
    EXPECT_EQ(r->outcome, Outcome::Repaired);
    const std::string repaired = fileBytes(file);
    const Avi after = readAvi(file);
    EXPECT_EQ(r->frames, std::uint32_t(before.frames));
    EXPECT_EQ(after.headerFrames, r->frames);
    EXPECT_EQ(after.streamLength, r->frames);
    EXPECT_EQ(after.dmlhFrames, r->frames);
    EXPECT_EQ(after.riffSize + std::size_t{8}, repaired.size());
    EXPECT_EQ(repaired.compare(after.moviFourcc + after.moviSize, 4, "idx1"), 0);
    EXPECT_EQ(after.index.size(), r->frames);
    std::size_t last = 0;
    for (const AviIndexEntry& e : after.index) {
        const std::size_t at = after.moviFourcc + e.offset;
        EXPECT_GT(at, std::exchange(last, at));
        EXPECT_EQ(repaired.substr(at, 4), e.id) << at;
        EXPECT_EQ(le32(repaired, at + 4), e.size) << at;
        EXPECT_EQ(e.flags & 0x10, 0x10u) << at;
    }
    // Only header fields (before the frames) and the cut-off chunk's header changed.
    std::vector<bool> rewritten(recorded.size());
    for (const ReplacedBytes& b : r->replaced) {
        EXPECT_TRUE(b.offset < after.moviFourcc + 4 || b.offset == recorded.size() - r->tailBytes)
            << b.offset;
        for (std::size_t i = 0; i < b.after.size(); ++i)
            rewritten.at(b.offset + i) = true;
    }
    std::size_t changed = 0;
    for (std::size_t i = 0; i < recorded.size(); ++i)
        changed += !rewritten[i] && recorded[i] != repaired[i];
    EXPECT_EQ(changed, 0u);

    const Decoded d = decodeAvi(file);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.frames, int(r->frames));
    EXPECT_NEAR(d.seconds, r->frames / after.fps(), 0.5 / after.fps());

    auto tag = parseRepairTag(repairTagText(*r));
    EXPECT_TRUE(tag && tag->sameAs(*r)) << repairTagText(*r);
    const fs::path rebuilt = scratch / "rebuilt.AVI";
    Status s = restoreOriginal(file, *r, rebuilt);
    EXPECT_TRUE(s) << s.error();
    const auto digest = evidence::sha256File(rebuilt);
    EXPECT_TRUE(digest && digest->sha256 == evidence::sha256Hex(recorded));
    fs::remove(rebuilt);

    auto again = repairAvi(file);
    EXPECT_TRUE(again && again->outcome == Outcome::AlreadyRepaired && again->sameAs(*r));
    EXPECT_EQ(fileBytes(file), repaired);
    EXPECT_FALSE(fs::exists(aviRepairJournal(file)));
    return *r;
}

// One small killed MJPEG recording (about 40 frames of 160x120), made once,
// up to its last whole chunk (the kill may have cut one).
const std::string& smallKilledRecording() {
    static const std::string bytes = [] {
        const fs::path dir =
            fs::temp_directory_path() / ("kestle-avi-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        recordAndKill(dir / "small.AVI", AviCodec::Mjpeg, 160, 200000);
        std::string b = fileBytes(dir / "small.AVI");
        fs::remove_all(dir);
        const auto chunks = chunksOf(b);
        if (!chunks.empty())
            b.resize(chunks.back().first + 8 + chunks.back().second + chunks.back().second % 2);
        return b;
    }();
    return bytes;
}

TEST(AviRepair, AKilledUncompressedRecordingIsRepaired) {
    TempFolder t;
    const fs::path f = t.path() / "1Video_Capture.AVI";
    ASSERT_TRUE(recordAndKill(f, AviCodec::I420, 320, 10000000)); // 115 KB a frame
    EXPECT_EQ(readAvi(f).codec, "I420");
    EXPECT_EQ(readAvi(f).headerFrames, 0u);
    EXPECT_GE(expectRepaired(f, t.path()).frames, 86u);
}

TEST(AviRepair, AVideoOfAKilledSessionIsIndexedInItsBagAtTheNextStart) {
    KestleProcess k;
    k.start("click av1\nwait 60000\n");
    fs::path avi;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto f = k.files("Video_Capture.AVI");
            std::error_code ec;
            return !f.empty() && fs::file_size(avi = f[0], ec) > 6000000 && !ec;
        },
        std::chrono::seconds(30)));
    k.kill9();
    EXPECT_EQ(readAvi(avi).codec, "MJPG");
    EXPECT_EQ(readAvi(avi).headerFrames, 0u);
    const std::string recorded = fileBytes(avi);

    // The next start indexes it before it seals the killed session: the
    // bag holds the indexed file, says so, and keeps what was rewritten.
    k.start("quit\n", {"--capture", "none"});
    ASSERT_EQ(k.wait(), 0) << k.out();
    std::vector<fs::path> bags;
    for (const auto& e : fs::directory_iterator(k.data() / "Sessions"))
        bags.push_back(e.path());
    std::sort(bags.begin(), bags.end());
    ASSERT_EQ(bags.size(), 2u);
    const fs::path copy = bags[0] / "data/captures" / avi.filename();
    EXPECT_THAT(evidence::verifyBag(bags[0]), ::testing::IsEmpty());
    const Avi indexed = readAvi(copy);
    EXPECT_TRUE(indexed.indexed);
    EXPECT_GE(indexed.headerFrames, 60u);
    const Decoded d = decodeAvi(copy);
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.frames, int(indexed.headerFrames));
    std::string mended;
    for (const auto& [label, value] : evidence::parseBagInfo(fileBytes(bags[0] / "bag-info.txt")))
        if (label == "Mended")
            mended += value;
    EXPECT_THAT(mended, HasSubstr("data/captures/" + avi.filename().string() + ": " +
                                  std::to_string(indexed.headerFrames) + " frames indexed"));
    auto tag = parseRepairTag(fileBytes(bags[0] / ("mended " + avi.filename().string() + ".txt")));
    ASSERT_TRUE(tag) << tag.error();
    ASSERT_TRUE(restoreOriginal(copy, *tag, k.dir() / "as-recorded.AVI"));
    EXPECT_EQ(fileBytes(k.dir() / "as-recorded.AVI"), recorded);
}

// The disk fills up: avimux may still rewrite the header at offset 0 (with
// the frames it meant to write) but never gets its index out.
TEST(AviRepair, AChunkCutOffByAFullDiskStaysButIsNotIndexed) {
    TempFolder t;
    const fs::path f = t.path() / "full.AVI";
    EXPECT_EQ(exitStatus(startRecording(f, AviCodec::Mjpeg, 320, 0, 500000)), 1);
    ASSERT_EQ(fs::file_size(f), 500000u);
    EXPECT_GT(expectRepaired(f, t.path()).tailBytes, 0u);
}

TEST(AviRepair, EveryWayTheEndCanBeCutOffIsRepairedAndRebuilt) {
    const std::string& s = smallKilledRecording();
    const auto chunks = chunksOf(s);
    ASSERT_GT(chunks.size(), 20u);
    const auto [at, size] = chunks[10];
    const auto odd = std::find_if(chunks.begin(), chunks.end() - 1,
                                  [](const auto& c) { return c.second % 2 == 1; });
    ASSERT_NE(odd, chunks.end() - 1);
    const std::uint32_t n = std::uint32_t(chunks.size());
    std::string overcounted = s; // where avimux keeps each field with one stream
    for (const auto& [at, value] : {std::pair{4, s.size() + 9000},
                                    {44, 0x10},
                                    {48, n + 20},
                                    {140, n + 20},
                                    {776, n + 20},
                                    {784, s.size() + 8000}})
        overcounted.replace(std::size_t(at), 4, le32s(std::uint32_t(value)));
    struct Cut {
        const char* what;
        std::string bytes;
        std::uint32_t frames;
        std::uint64_t tail;
    } cuts[] = {
        {"a chunk header cut after 3 bytes", s.substr(0, at + 3), 10, 3},
        {"a frame cut in the middle", s.substr(0, at + 8 + size / 2), 10, 8 + size / 2},
        {"only the pad byte missing", s.substr(0, odd->first + 8 + odd->second),
         std::uint32_t(odd - chunks.begin() + 1), 0},
        {"killed while writing the index", s + "idx1" + le32s(16 * n) + std::string(40, 'x'), n,
         48},
        {"blocks of zeros after a power cut", s + std::string(4096, '\0'), n, 4096},
        {"a header that counts frames the full disk never got", overcounted, n, 0},
    };
    TempFolder t;
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.what);
        const fs::path f = t.path() / "cut.AVI";
        writeBytes(f, c.bytes);
        const AviRepair r = expectRepaired(f, t.path());
        EXPECT_EQ(r.frames, c.frames);
        EXPECT_EQ(r.tailBytes, c.tail);
        if (c.tail == 3) {
            EXPECT_EQ(repairDescription(r, "data/captures/x.AVI"),
                      "data/captures/x.AVI: 10 frames indexed, header sizes rewritten, the last 3 "
                      "bytes (not a whole chunk) kept unindexed");
        }
    }
}

TEST(AviRepair, AKillAtAnyStepOfTheRepairLeavesAFileTheNextRepairFinishes) {
    const std::string& s = smallKilledRecording();
    const auto chunks = chunksOf(s);
    ASSERT_GT(chunks.size(), 5u);
    const std::string recorded = s.substr(0, chunks[5].first + 100); // with a cut-off frame
    MemoryAviSource src(recorded);
    const auto plan = planAviRepair(src);
    ASSERT_TRUE(plan) << plan.error();
    const std::string clean = applyAviRepair(recorded, *plan);
    const auto& fields = plan->repair.replaced;
    ASSERT_GE(fields.size(), 6u);

    TempFolder t;
    const fs::path f = t.path() / "x.AVI";
    writeBytes(f, recorded);
    ASSERT_TRUE(repairAvi(f));
    ASSERT_EQ(fileBytes(f), clean); // the file repair writes what the plan says

    // Killed after the journal, while appending, or after any of the fields.
    const std::size_t appended[] = {0, plan->appended.size() / 2, plan->appended.size()};
    for (std::size_t part : appended)
        for (std::size_t done = 0; done <= (part == plan->appended.size() ? fields.size() : 0);
             ++done) {
            SCOPED_TRACE("appended " + std::to_string(part) + ", fields " + std::to_string(done));
            std::string state = recorded + plan->appended.substr(0, part);
            for (std::size_t i = 0; i < done; ++i)
                state.replace(fields[i].offset, fields[i].after.size(), fields[i].after);
            writeBytes(f, state);
            writeBytes(aviRepairJournal(f), repairTagText(plan->repair));
            const auto r = repairAvi(f);
            ASSERT_TRUE(r) << r.error();
            EXPECT_EQ(r->outcome, Outcome::Repaired);
            EXPECT_EQ(fileBytes(f), clean);
            EXPECT_FALSE(fs::exists(aviRepairJournal(f)));
        }
    // Finished, but killed before the caller kept the tag: the file has it.
    const auto again = repairAvi(f);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->outcome, Outcome::AlreadyRepaired);
    EXPECT_TRUE(again->sameAs(plan->repair));

    // A journal that does not belong to the file is no reason to touch it.
    std::string other = recorded;
    other[fields[0].offset] ^= 0x55;
    writeBytes(f, other);
    writeBytes(aviRepairJournal(f), repairTagText(plan->repair));
    const auto refused = repairAvi(f);
    ASSERT_FALSE(refused);
    EXPECT_THAT(refused.error(), HasSubstr("journal"));
    EXPECT_EQ(fileBytes(f), other);
    EXPECT_TRUE(fs::exists(aviRepairJournal(f)));
}

TEST(AviRepair, OtherLinksKeepTheRecordedBytesUnlessTheCallerOwnsThem) {
    const std::string& recorded = smallKilledRecording();
    MemoryAviSource src(recorded);
    const std::string clean = applyAviRepair(recorded, *planAviRepair(src));
    TempFolder t;
    const fs::path f = t.path() / "data.AVI", bag = t.path() / "bag.AVI";
    writeBytes(f, recorded);
    fs::create_hard_link(f, bag);
    ASSERT_TRUE(repairAvi(f));
    EXPECT_EQ(fileBytes(f), clean);
    EXPECT_EQ(fileBytes(bag), recorded); // a sealed bag's copy stays as sealed
    EXPECT_EQ(fs::hard_link_count(f), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 2);

    fs::remove(bag);
    writeBytes(f, recorded);
    fs::create_hard_link(f, bag);
    AviRepairOptions own;
    own.otherLinks = AviRepairOptions::OtherLinks::Repair;
    ASSERT_TRUE(repairAvi(f, own));
    EXPECT_EQ(fileBytes(bag), clean);
    EXPECT_EQ(fs::hard_link_count(f), 2u);
}

TEST(AviRepair, AFinishedRecordingIsLeftAsItIs) {
    TempFolder t;
    const fs::path f = t.path() / "done.AVI";
    ASSERT_EQ(exitStatus(startRecording(f, AviCodec::Mjpeg, 160, 30)), 0);
    const std::string bytes = fileBytes(f);
    ASSERT_TRUE(readAvi(f).indexed);
    const auto r = repairAvi(f);
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(r->outcome, Outcome::AlreadyIndexed);
    EXPECT_EQ(r->frames, 30u);
    EXPECT_EQ(fileBytes(f), bytes);
    EXPECT_EQ(repairDescription(*r, "x.AVI"), "x.AVI: already indexed, left as recorded");
}

TEST(AviRepair, HostileFilesAreRefusedAndLeftUnchanged) {
    const std::string& s = smallKilledRecording();
    const std::size_t movi = readAviBytes(s).moviFourcc;
    std::string hugeHeader = s;
    hugeHeader.replace(16, 4, le32s(0xFFFFFFF0)); // the hdrl list's size
    std::string hugeFrame = s.substr(0, movi + 4) + "00db" + le32s(0xFFFFFFFF) + "data";
    std::string tooMany = s.substr(0, movi + 4);
    for (int i = 0; i < (1 << 20) + 1; ++i)
        tooMany += "00db" + le32s(0);
    const std::pair<const char*, std::string> cases[] = {
        {"not an AVI file", ""},
        {"not an AVI file", "hello, world"},
        {"not an AVI file", "RIFF" + le32s(36) + "WAVEfmt "},
        {"cut off or damaged", s.substr(0, 100)},
        {"cut off or damaged", hugeHeader},
        {"no whole frame", s.substr(0, movi + 4)},
        {"no whole frame", hugeFrame},
        {"more than 1048576 chunks", tooMany},
        {"more than one RIFF part", s + "RIFF" + le32s(4) + "AVIX"},
        {"more than one RIFF part", s + "idx1" + le32s(0) + "RIFF" + le32s(4) + "AVIX"},
        {"header was never finished", s + "idx1" + le32s(0)},
    };
    TempFolder t;
    const fs::path f = t.path() / "x.AVI";
    for (const auto& [error, bytes] : cases) {
        SCOPED_TRACE(error);
        writeBytes(f, bytes);
        const auto r = repairAvi(f);
        ASSERT_FALSE(r);
        EXPECT_THAT(r.error(), HasSubstr("Cannot repair " + f.string() + ": "));
        EXPECT_THAT(r.error(), HasSubstr(error));
        EXPECT_EQ(fileBytes(f), bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 1);
    }
    writeBytes(f, s);
    std::stop_source stop;
    stop.request_stop();
    AviRepairOptions stopped;
    stopped.stop = stop.get_token();
    EXPECT_THAT(repairAvi(f, stopped).error(), HasSubstr("stopped"));
    EXPECT_EQ(fileBytes(f), s);

    fs::create_symlink(f, t.path() / "link.AVI");
    ::mkfifo((t.path() / "fifo.AVI").c_str(), 0600);
    EXPECT_THAT(repairAvi(t.path() / "link.AVI").error(), HasSubstr("symbolic link"));
    EXPECT_THAT(repairAvi(t.path() / "fifo.AVI").error(), HasSubstr("not a regular file"));
    EXPECT_THAT(repairAvi(t.path()).error(), HasSubstr("not a regular file"));
    EXPECT_THAT(repairAvi(t.path() / "none.AVI").error(), HasSubstr("No such file"));
    EXPECT_EQ(fileBytes(f), s);

    // A tag is read as strictly, and never rebuilds from the wrong file.
    MemoryAviSource src(s);
    const auto plan = planAviRepair(src);
    ASSERT_TRUE(plan);
    const std::string tag = repairTagText(plan->repair);
    for (const std::string& bad : {std::string(), tag.substr(0, tag.size() / 2), tag + "Extra: 1\n",
                                   tag + "Replaced: 0 00 0000\n",
                                   tag + "Replaced: " + std::to_string(s.size()) + " 00 01\n"})
        EXPECT_FALSE(parseRepairTag(bad)) << bad;
    EXPECT_THAT(restoreOriginal(f, plan->repair, t.path() / "out.AVI").error(),
                HasSubstr("not the repaired file its tag describes"));
    EXPECT_FALSE(fs::exists(t.path() / "out.AVI"));
}

} // namespace
} // namespace kestle::capture::test
