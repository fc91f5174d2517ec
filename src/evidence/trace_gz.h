// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The session's device trace, gzip-compressed (zlib) as it is written: an
// ostream for the recording link. What was written reaches the file at
// least once a second (flushIfDue, called by a timer, and each line after a
// second), so a kill loses at most the last second. Window thread only.
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace kestle::evidence {

class GzTrace : public std::streambuf {
  public:
    // `nowMs` is the session's clock.
    GzTrace(std::function<long long()> nowMs);
    ~GzTrace() override;
    Status open(const std::filesystem::path& p);
    std::ostream& stream() { return stream_; }
    void flushIfDue();
    // Hands everything written so far to the file.
    void flush();
    // Told when something is written after a flush: the owner flushes
    // within a second (a timer), should no further line come.
    std::function<void()> onPending;
    // Finishes the gzip stream; later writes are dropped.
    Status close();
    // The file's folder is gone: what was written is read back from the
    // still open file, and what comes is kept in memory (at most `limit`
    // bytes of text, then dropped) until open() again, which starts the
    // new file with it.
    Status keepInMemory(std::uint64_t limit);
    bool inMemory() const { return memory_.has_value(); }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    std::function<long long()> nowMs_;
    void* gz_ = nullptr; // gzFile
    std::ostream stream_;
    long long flushedAt_ = 0;
    bool pending_ = false;
    std::filesystem::path path_;
    int fd_ = -1; // the file gz_ writes, while it is open
    std::optional<std::string> memory_;
    std::uint64_t memoryLimit_ = 0;
};

// What can be read of a gzip file; `whole` is false when it ends early
// (its writer was killed) or is damaged, and `why` then says so. Read as a
// bag file is (no link followed, regular files only) and at most
// `maxInflated` bytes of content.
struct GzText {
    std::string text;
    bool whole = false;
    std::string why;
};
Result<GzText> readGzipText(const std::filesystem::path& p,
                            std::uint64_t maxInflated = std::uint64_t{1} << 30);

// Rewrites a gzip file that ends early (its writer was killed), or is empty,
// as a whole one holding everything that can still be read, inflated as it
// is read again (at most 1 GiB of content). True when it was rewritten. A
// damaged one (not merely cut short) is left as it is, with an error.
Result<bool> repairGzip(const std::filesystem::path& p);

} // namespace kestle::evidence
