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

    Status open(const std::filesystem::path& p);
    // No line is written after it.
    void close();
    // The first failure is kept in status(); later lines are still tried.
    void write(std::int64_t t, const LocalDateTime& time, std::string_view event,
               const JsonFields& fields = {});
    const Status& status() const { return status_; }

  private:
    int fd_ = -1;
    std::filesystem::path path_;
    Status status_;
};

// The "time" of the last whole line of a journal's text, empty when none.
std::string lastJournalTime(std::string_view text);

} // namespace kestle::evidence
