// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The guarded reader of an AVI file's structure, for the index repair
// (avi_repair.h). The file is hostile until read: every size is checked
// against the bytes that are really there (64-bit sums, no overflow), the
// header lists are bounded, at most kMaxIndexedChunks chunks are kept, and
// nothing is trusted that a killed writer leaves stale (the 'movi' size, the
// frame counts). The frames are found by walking the chunks after 'movi' up
// to the end of the file, an 'idx1' or the first bytes that are not a whole
// chunk (the "tail": a chunk cut off by a kill or a full disk, or garbage).
//
// Threads: any; a scan only reads through its source. Stoppable: the walk
// checks the stop token every few thousand chunks.
#include "support/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::capture {

// More chunks than this in one file are refused (at 30 frames a second,
// more than nine hours in one RIFF part; avimux starts a new part at 1 GiB).
inline constexpr std::size_t kMaxIndexedChunks = std::size_t{1} << 20;

// Where the reader gets its bytes. read() fills exactly `n` bytes at `at`,
// or returns false (past the end, or a read error).
class AviSource {
  public:
    virtual ~AviSource() = default;
    virtual std::uint64_t size() const = 0;
    virtual bool read(std::uint64_t at, void* out, std::size_t n) = 0;
};

class MemoryAviSource : public AviSource {
  public:
    explicit MemoryAviSource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t at, void* out, std::size_t n) override;

  private:
    std::string_view bytes_;
};

// Reads an open file descriptor (not owned) of `size` bytes with pread,
// small reads through a one-page cache (a file of tiny chunks costs one
// read a page, not one a chunk).
class FileAviSource : public AviSource {
  public:
    FileAviSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t at, void* out, std::size_t n) override;

  private:
    bool readFile(std::uint64_t at, char* out, std::size_t n);
    int fd_;
    std::uint64_t size_;
    std::string page_;
    std::uint64_t pageAt_ = 0;
};

struct AviStream {
    std::string type;           // strh fccType: "vids", "auds", ...
    std::string handler;        // strh fccHandler, else strf compression: "MJPG", "I420"
    std::uint64_t lengthAt = 0; // file offset of strh dwLength
    std::uint32_t length = 0;   // dwLength as found
    std::uint32_t sampleSize = 0;
    std::uint32_t chunks = 0; // its chunks found in 'movi'
    std::uint64_t bytes = 0;  // their data bytes
};

// One chunk of 'movi' that belongs in the index.
struct AviChunk {
    std::uint64_t at = 0; // offset of its header
    std::uint32_t size = 0;
    std::uint16_t flags = 0; // idx1 flags: key frame (0x10) or none
    std::uint8_t stream = 0;
    char type[2] = {}; // "dc", "db", "wb", ...
};

struct AviLayout {
    std::uint64_t fileSize = 0;
    std::uint32_t riffSize = 0;
    std::uint64_t avihAt = 0; // body offset of 'avih'
    std::uint32_t avihFlags = 0, avihTotalFrames = 0;
    std::optional<std::uint64_t> dmlhAt; // body offset of 'dmlh' (OpenDML)
    std::uint32_t dmlhTotalFrames = 0;
    std::vector<AviStream> streams;
    std::uint64_t moviAt = 0; // offset of the 'movi' LIST chunk
    std::uint32_t moviSize = 0;
    std::vector<AviChunk> chunks; // the index's entries, in file order
    // End of the last whole chunk with its pad byte: fileSize + 1 when the
    // file ends just before that pad byte.
    std::uint64_t chunksEnd = 0;
    // Start of the bytes after the last whole chunk that are not one
    // (fileSize when there are none). Only without an 'idx1'.
    std::uint64_t tailAt = 0;
    // An 'idx1' met where the chunks end: the file has an index.
    std::optional<std::uint64_t> idx1At;
    std::uint32_t idx1Size = 0;
    // The body of a small JUNK chunk right after 'idx1' (where the repair
    // keeps its record), else empty.
    std::string afterIndex;
    // A second RIFF part follows 'idx1' (avimux starts one after 1 GiB).
    bool moreParts = false;
};

// The structure of the AVI in `src`, or why it is none that can be read:
// "not an AVI file", "its header is cut off or damaged", "it has more than
// one RIFF part", "it has more than N chunks", "stopped", ...
Result<AviLayout> scanAvi(AviSource& src, std::stop_token stop = {});

} // namespace kestle::capture
