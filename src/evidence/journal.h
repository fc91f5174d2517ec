// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal of a session: one JSON object per line, each line handed to
// the operating system in one write as it is made (a kill loses nothing
// written before it). Every line starts with "t" (milliseconds of the
// session's clock) and "time" (local time, YYYY-MM-DDTHH:MM:SS), then
// "event" and the event's own fields. Window thread only.
#include "support/datetime.h"
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestle::evidence {

std::string jsonString(std::string_view utf8);
std::string isoTime(const LocalDateTime& t);

// Fields of one line, added in order.
class JsonFields {
  public:
    JsonFields& add(std::string_view key, std::string_view text);
    JsonFields& add(std::string_view key, const char* text) {
        return add(key, std::string_view(text));
    }
    JsonFields& add(std::string_view key, std::int64_t number);
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

class Journal {
  public:
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Starts the file with the lines kept in memory, if any.
    Status open(const std::filesystem::path& p);
    // No line is written after it.
    void close();
    // The first failure is kept in status(); later lines are still tried.
    void write(std::int64_t t, const LocalDateTime& time, std::string_view event,
               const JsonFields& fields = {});
    const Status& status() const { return status_; }

    // The file's folder is gone: what was written is read back from the
    // still open file, and lines are kept in memory (at most `limit`
    // bytes, then dropped and told by status()) until open() again.
    Status keepInMemory(std::uint64_t limit);
    bool inMemory() const { return memory_.has_value(); }

  private:
    int fd_ = -1;
    std::filesystem::path path_;
    Status status_;
    std::optional<std::string> memory_;
    std::uint64_t memoryLimit_ = 0;
};

// Everything a file open for reading and writing holds, read through `fd`
// (it may have been removed); at most `limit` bytes.
Result<std::string> readBack(int fd, std::uint64_t limit);

// The "time" of the last whole line of a journal's text, empty when none.
std::string lastJournalTime(std::string_view text);

} // namespace kestle::evidence
