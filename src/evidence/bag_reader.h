// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way into a bag that someone else may have made or changed (the
// verifier, the review, the report and the replay all read through it).
//
// - Every file is opened relative to the bag's own folder, one path
//   component at a time (openat with O_NOFOLLOW): no symbolic link anywhere
//   in a path is followed, so nothing outside the bag is ever reached. Only
//   the bag's folder itself is taken as named.
// - Only regular files are read: a FIFO, a socket or a device is refused by
//   its kind before it is opened, and again on the open descriptor (opened
//   with O_NONBLOCK, so that nothing can block the reader).
// - Every read is bounded: a whole file read into memory at most
//   `ReadLimits::fileBytes` (or what the call asks), a gzip file's content at
//   most `inflatedBytes`, counted while it is inflated (never inflated into
//   memory or a temporary file first), a line at most `lineBytes`, a walk at
//   most `walkEntries` entries and `walkDepth` folders deep, and everything
//   one reader (and its copies) reads at most `totalBytes`. A file is read up
//   to the size it had when opened; one that grows or shrinks meanwhile is an
//   error.
// - Reads are chunked (1 MiB), report their progress (bytes read so far)
//   and end between two chunks once the stop flag is set: "stopped".
//
// Paths are relative to the bag, "/" separated, as manifests name them
// (decoded): no empty, "." or ".." component and no leading "/"; anything
// else is refused. "" is the bag's folder.
//
// Threads: open() on any thread. A BagReader, its copies (they share the
// folder, the counters and the stop flag) and the files it opens may be used
// on several threads at once, each BagFile, GzipSource or LineReader by one
// thread at a time. Callbacks (sinks, visitors, progress) run on the thread
// that reads. The stop flag may be set from any thread (a window closing, a
// signal watcher).
//
// Errors are Result / Status texts that name the path (relative to the bag,
// printable) and the reason: "data/x: not a regular file (a FIFO)",
// "data/d: a symbolic link (not followed)", "data/x: missing", "data/x:
// larger than 64 MiB", "data/x: changed while it was read", "stopped".
#include "support/result.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence {

using StopFlag = std::shared_ptr<std::atomic<bool>>;
inline StopFlag makeStopFlag() {
    return std::make_shared<std::atomic<bool>>(false);
}

enum class EntryKind { Missing, Regular, Directory, Symlink, Fifo, Socket, Device, Other };
// "missing", "a regular file", "a folder", "a symbolic link", "a FIFO", ...
const char* entryKindText(EntryKind k);

struct EntryInfo {
    EntryKind kind = EntryKind::Missing;
    std::uint64_t size = 0; // of a regular file
    // The same file under two names (hard links) has the same pair.
    std::uint64_t device = 0, inode = 0;
    // Missing because a component on the way is not a folder (a link, a
    // file, nothing): that component's path, and what it is.
    std::string blockedAt;
    EntryKind blockedBy = EntryKind::Missing;
};

struct ReadLimits {
    std::uint64_t fileBytes = 64ull << 20;
    std::uint64_t inflatedBytes = 1ull << 30;
    std::uint64_t totalBytes = 1ull << 44; // 16 TiB
    std::size_t lineBytes = 1 << 20;
    std::size_t walkEntries = 4'000'000;
    int walkDepth = 64;
};

// "64 MiB", "1 GiB", "300 bytes": a limit in messages.
std::string bytesText(std::uint64_t n);

// Something read in chunks; 0 at its end.
class ChunkSource {
  public:
    virtual ~ChunkSource() = default;
    virtual Result<std::size_t> read(char* buf, std::size_t n) = 0;
};

class BagReader;
namespace detail {
struct BagShared; // the folder, the limits, the counters, the stop flag
}

// An open regular file of a bag.
class BagFile : public ChunkSource {
  public:
    ~BagFile() override;
    BagFile(BagFile&&) noexcept;
    BagFile& operator=(BagFile&&) = delete;
    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; } // when it was opened
    std::uint64_t device() const { return device_; }
    std::uint64_t inode() const { return inode_; }
    // The next bytes, in order.
    Result<std::size_t> read(char* buf, std::size_t n) override;
    // Bytes at `offset` (below size()); does not move read()'s place.
    Result<std::size_t> readAt(std::uint64_t offset, char* buf, std::size_t n);

  private:
    friend class BagReader;
    BagFile(std::shared_ptr<detail::BagShared> shared, int fd, std::string path, std::uint64_t size,
            std::uint64_t device, std::uint64_t inode);
    std::shared_ptr<detail::BagShared> shared_;
    int fd_ = -1;
    std::string path_;
    std::uint64_t size_ = 0, offset_ = 0, device_ = 0, inode_ = 0;
};

// The content of a gzip file (one member or several), inflated as it is
// read. read() returns 0 at the end of the content, or where it ends early
// (its writer was killed) or is damaged: whole() and why() then say which
// (or, with `partialIsError`, read() returns that as an error). More than
// `maxInflated` bytes in all is an error, told as soon as they are counted.
class GzipSource : public ChunkSource {
  public:
    GzipSource(std::unique_ptr<ChunkSource> in, std::string path, std::uint64_t maxInflated,
               bool partialIsError = false);
    ~GzipSource() override;
    Result<std::size_t> read(char* buf, std::size_t n) override;
    bool whole() const { return whole_; }
    const std::string& why() const { return why_; }
    std::uint64_t inflated() const { return inflated_; }

  private:
    struct Stream;
    std::unique_ptr<ChunkSource> in_;
    std::unique_ptr<Stream> z_;
    std::string path_;
    std::uint64_t max_, inflated_ = 0;
    bool partialIsError_, whole_ = false, done_ = false;
    std::string why_;
};

// Lines of a source without their line ends: LF and CR LF end a line, and a
// lone CR too when `crEnds` (tag files). A last line without an end counts.
// A line longer than `maxLine` is an error naming its number.
class LineReader {
  public:
    LineReader(std::unique_ptr<ChunkSource> in, std::string path, std::size_t maxLine, bool crEnds);
    // The next line (valid until the next call); false at the end.
    Result<bool> next(std::string_view& line);
    // The number of the line next() gave last, from 1.
    std::uint64_t number() const { return number_; }
    // True when the last line had no line end.
    bool lastHadNoEnd() const { return noEnd_; }
    ChunkSource& source() { return *in_; }

  private:
    Status fill();
    std::unique_ptr<ChunkSource> in_;
    std::string path_, buf_;
    std::size_t pos_ = 0, max_;
    bool crEnds_, eof_ = false, noEnd_ = false;
    std::uint64_t number_ = 0;
};

struct DirEntry {
    std::string name;
    EntryInfo info;
};

class BagReader {
  public:
    // Opens the bag's folder `bag` (links to it followed: the caller named
    // it). The error says when it is missing or not a folder.
    static Result<BagReader> open(const std::filesystem::path& bag, ReadLimits limits = {},
                                  StopFlag stop = {});

    const std::filesystem::path& folder() const;
    const ReadLimits& limits() const;
    // Told the bytes read so far after each chunk; set before reading.
    void onProgress(std::function<void(std::uint64_t)> progress);
    std::uint64_t bytesRead() const;
    bool stopped() const;

    // What `rel` is, its last component not followed. Missing, with
    // `blockedAt`, when a folder on its way is not one. An error only when
    // it cannot be told (no permission) or `rel` is not a path in the bag.
    Result<EntryInfo> inspect(std::string_view rel) const;
    Result<BagFile> openFile(std::string_view rel) const;
    // The whole file, at most `maxBytes` (0: limits().fileBytes).
    Result<std::string> readAll(std::string_view rel, std::uint64_t maxBytes = 0) const;
    // The file in chunks of up to 1 MiB, in order; a sink's error ends it.
    Status readChunks(std::string_view rel,
                      const std::function<Status(std::string_view)>& sink) const;
    // Lines of the file; gzip-compressed with `gzip` (limits().inflatedBytes
    // unless `maxInflated`; one that ends early or is damaged is an error).
    Result<LineReader> lines(std::string_view rel, bool crEnds, bool gzip = false,
                             std::uint64_t maxInflated = 0) const;
    // The inflated content of a gzip file in chunks; one that ends early or
    // is damaged is an error ("... ends early: ...").
    Status inflate(std::string_view rel, const std::function<Status(std::string_view)>& sink,
                   std::uint64_t maxInflated = 0) const;
    // A folder's entries, sorted by name.
    Result<std::vector<DirEntry>> list(std::string_view rel) const;
    // Every entry below the folder `rel`, depth first in name order, each
    // with its path relative to the bag. Folders are entered; links and
    // everything else are told, never followed.
    Status
    walk(std::string_view rel,
         const std::function<Status(const std::string& path, const EntryInfo& info)>& visit) const;

  private:
    explicit BagReader(std::shared_ptr<detail::BagShared> shared) : shared_(std::move(shared)) {}
    std::shared_ptr<detail::BagShared> shared_;
};

} // namespace kestle::evidence
