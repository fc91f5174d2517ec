// SPDX-License-Identifier: GPL-3.0-or-later
// The guarded bag reader: no link followed anywhere in a path, nothing
// outside the bag opened, no FIFO or device read, every read bounded, a
// changing file told, gzip content counted as it inflates, a stop obeyed
// between two chunks.
#include "evidence/bag_reader.h"
#include "fakes/gzip_bomb.h"
#include "fakes/open_watch.h"
#include "fakes/temp_folder.h"

#include <gmock/gmock.h>

#include <fstream>
#include <future>
#include <sys/stat.h>

namespace kestle::evidence {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

void write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string errorOf(const Result<std::string>& r) {
    return r ? "(read " + std::to_string(r->size()) + " bytes)" : r.error();
}

void gzipZeros(const fs::path& p, std::uint64_t zeros) {
    test::gzipRepeated(p, std::string(1 << 20, '\0'), zeros);
}

TEST(BagReader, FollowsNoLinkAnywhereAndOpensNothingOutsideTheBag) {
    TempFolder tmp;
    const fs::path outside = tmp.path() / "outside", bag = tmp.path() / "bag";
    write(outside / "secret.txt", "not the bag's");
    ASSERT_EQ(::mkfifo((outside / "pipe").c_str(), 0600), 0);
    write(bag / "data/ok.txt", "the bag's own");
    fs::create_directory_symlink(outside, bag / "data/d");
    fs::create_symlink(outside / "secret.txt", bag / "data/f");
    fs::create_symlink(outside / "pipe", bag / "data/p");
    fs::create_symlink("/dev/zero", bag / "data/z");
    ASSERT_EQ(::mkfifo((bag / "data/fifo").c_str(), 0600), 0);
    test::OpenWatch watch(outside);
    ASSERT_TRUE(watch.ready());

    auto reader = BagReader::open(bag);
    ASSERT_TRUE(reader) << reader.error();
    EXPECT_EQ(*reader->readAll("data/ok.txt"), "the bag's own");
    const struct {
        const char* path;
        const char* why;
    } refused[] = {
        {"data/d/secret.txt", "data/d is a symbolic link (not followed)"},
        {"data/f", "data/f: a symbolic link (not followed)"},
        {"data/p", "data/p: a symbolic link (not followed)"},
        {"data/z", "data/z: a symbolic link (not followed)"},
        {"data/fifo", "data/fifo: not a regular file (a FIFO)"},
        {"data", "data: a folder, not a file"},
        {"data/none", "data/none: missing"},
        {"../outside/secret.txt", "not a path inside the bag"},
        {"/etc/passwd", "not a path inside the bag"},
        {"data/./ok.txt", "not a path inside the bag"},
        {"data//ok.txt", "not a path inside the bag"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.path);
        // A FIFO opened by mistake would block: the read runs with a deadline.
        auto read = std::async(std::launch::async, [&] { return reader->readAll(r.path); });
        ASSERT_EQ(read.wait_for(10s), std::future_status::ready);
        EXPECT_THAT(errorOf(read.get()), HasSubstr(r.why));
    }
    auto blocked = reader->inspect("data/d/secret.txt");
    ASSERT_TRUE(blocked);
    EXPECT_EQ(blocked->kind, EntryKind::Missing);
    EXPECT_EQ(blocked->blockedAt, "data/d");
    EXPECT_EQ(blocked->blockedBy, EntryKind::Symlink);

    std::map<std::string, EntryKind> walked;
    ASSERT_TRUE(reader->walk("data", [&](const std::string& path, const EntryInfo& info) {
        walked[path] = info.kind;
        return Status{};
    }));
    EXPECT_EQ(walked, (std::map<std::string, EntryKind>{{"data/d", EntryKind::Symlink},
                                                        {"data/f", EntryKind::Symlink},
                                                        {"data/fifo", EntryKind::Fifo},
                                                        {"data/ok.txt", EntryKind::Regular},
                                                        {"data/p", EntryKind::Symlink},
                                                        {"data/z", EntryKind::Symlink}}));
    EXPECT_TRUE(watch.opened().empty()) << *watch.opened().begin();
    EXPECT_FALSE(BagReader::open(bag / "data/ok.txt"));
}

TEST(BagReader, ReadsAreBoundedAndAFileThatChangesMeanwhileIsAnError) {
    TempFolder tmp;
    const fs::path bag = tmp.path();
    write(bag / "a.txt", std::string(600, 'a'));
    write(bag / "b.txt", std::string(600, 'b'));
    ReadLimits limits;
    limits.totalBytes = 1000;
    auto reader = BagReader::open(bag, limits);
    ASSERT_TRUE(reader);
    EXPECT_THAT(errorOf(reader->readAll("a.txt", 500)), HasSubstr("a.txt: larger than 500 bytes"));
    EXPECT_TRUE(reader->readAll("a.txt"));
    EXPECT_THAT(errorOf(reader->readAll("b.txt")), HasSubstr("past 1000 bytes read in all"));

    write(bag / "growing.txt", "12345");
    auto fresh = BagReader::open(bag);
    auto file = fresh->openFile("growing.txt");
    ASSERT_TRUE(file);
    char buf[16];
    EXPECT_EQ(*file->read(buf, sizeof buf), 5u);
    std::ofstream(bag / "growing.txt", std::ios::binary | std::ios::app) << "678";
    auto more = file->read(buf, sizeof buf);
    ASSERT_FALSE(more);
    EXPECT_THAT(more.error(), HasSubstr("changed while it was read (it grew)"));

    // Lines end in LF, CR LF or (in tag files) a lone CR, also where a read
    // chunk ends between the CR and the LF; a line past the limit is named.
    const std::string head(65535, 'x');
    write(bag / "lines.txt", head.substr(0, 99) + "\r\n" + "b\rc\n" + "d" +
                                 std::string(65536 - 99 - 2 - 4 - 1 - 1, 'y') + "\r\ne");
    auto lines = fresh->lines("lines.txt", true);
    ASSERT_TRUE(lines);
    std::vector<std::size_t> sizes;
    for (std::string_view line; *lines->next(line);)
        sizes.push_back(line.size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{99, 1, 1, 65536 - 99 - 2 - 4 - 1, 1}));
    ReadLimits shortLines;
    shortLines.lineBytes = 100;
    auto bounded = BagReader::open(bag, shortLines)->lines("lines.txt", false);
    ASSERT_TRUE(bounded);
    std::string_view line;
    EXPECT_TRUE(*bounded->next(line));
    EXPECT_TRUE(*bounded->next(line));
    EXPECT_EQ(line, "b\rc"); // a lone CR ends no line here
    auto tooLong = bounded->next(line);
    ASSERT_FALSE(tooLong);
    EXPECT_THAT(tooLong.error(), HasSubstr("line 3 is longer than 100 bytes"));
}

TEST(BagReader, AGzipBombIsRefusedWhileItInflatesAndAReadStopsAtOnce) {
    TempFolder tmp;
    const fs::path bag = tmp.path();
    gzipZeros(bag / "bomb.gz", 65ull << 20);
    ReadLimits limits;
    limits.inflatedBytes = 64ull << 20;
    auto reader = BagReader::open(bag, limits);
    ASSERT_TRUE(reader);
    std::uint64_t inflated = 0;
    Status s = reader->inflate("bomb.gz", [&](std::string_view chunk) {
        inflated += chunk.size();
        return Status{};
    });
    EXPECT_THAT(s.error(), HasSubstr("bomb.gz: larger than 64 MiB inflated"));
    EXPECT_LE(inflated, 64ull << 20);
    EXPECT_LT(reader->bytesRead(), fs::file_size(bag / "bomb.gz") + 1);

    // Cut short (its writer killed): what is there, and that it ends early.
    gzipZeros(bag / "whole.gz", 1 << 20);
    std::string bytes(fs::file_size(bag / "whole.gz"), '\0');
    std::ifstream(bag / "whole.gz", std::ios::binary).read(bytes.data(), bytes.size());
    write(bag / "cut.gz", bytes.substr(0, bytes.size() - 9));
    EXPECT_THAT(reader->inflate("cut.gz", [](std::string_view) { return Status{}; }).error(),
                HasSubstr("cut.gz: it ends early"));
    write(bag / "plain.gz", "not gzip at all");
    EXPECT_THAT(reader->inflate("plain.gz", [](std::string_view) { return Status{}; }).error(),
                HasSubstr("plain.gz: it is damaged"));

    write(bag / "big.bin", std::string(16 << 20, 'z'));
    const StopFlag stop = makeStopFlag();
    auto stoppable = BagReader::open(bag, {}, stop);
    stoppable->onProgress([&stop](std::uint64_t) { *stop = true; });
    s = stoppable->readChunks("big.bin", [](std::string_view) { return Status{}; });
    EXPECT_EQ(s.error(), "stopped");
    EXPECT_LE(stoppable->bytesRead(), 1u << 20);
    EXPECT_TRUE(stoppable->stopped());
}

} // namespace
} // namespace kestle::evidence
