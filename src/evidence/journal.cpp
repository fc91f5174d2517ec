// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/journal.h"

#include "support/quote.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestle::evidence {

std::string jsonString(std::string_view utf8) {
    // The headless output's quoting covers quote, backslash, CR, LF and tab;
    // JSON also wants every other control character escaped.
    const std::string quoted = quoteText(utf8);
    std::string r;
    for (unsigned char c : quoted) {
        if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            r += buf;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

std::string isoTime(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

JsonFields& JsonFields::add(std::string_view key, std::string_view text) {
    // Appended piece by piece: gcc 12 warns falsely about string + char*
    // temporaries in optimised builds.
    text_ += ',';
    text_ += jsonString(key);
    text_ += ':';
    text_ += jsonString(text);
    return *this;
}

JsonFields& JsonFields::add(std::string_view key, std::int64_t number) {
    text_ += ',';
    text_ += jsonString(key);
    text_ += ':';
    text_ += std::to_string(number);
    return *this;
}

Journal::~Journal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void Journal::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Result<std::string> readBack(int fd, std::uint64_t limit) {
    std::string text;
    char buf[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Error{std::strerror(errno)};
        if (n == 0)
            return text;
        if (text.size() + static_cast<std::size_t>(n) > limit)
            return Error{"more than " + std::to_string(limit) + " bytes"};
        text.append(buf, static_cast<std::size_t>(n));
        at += n;
    }
}

Status Journal::open(const std::filesystem::path& p) {
    close();
    path_ = p;
    // Read and write: a folder removed under it leaves the lines readable.
    fd_ = ::open(p.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return Error{"Cannot write " + p.string() + ": " + std::strerror(errno)};
    if (memory_) {
        const std::string kept = std::move(*memory_);
        memory_.reset();
        if (::write(fd_, kept.data(), kept.size()) != static_cast<ssize_t>(kept.size()))
            return Error{"Cannot write " + p.string() + ": " + std::strerror(errno)};
    }
    return {};
}

Status Journal::keepInMemory(std::uint64_t limit) {
    if (memory_)
        return {};
    memoryLimit_ = limit;
    auto kept = fd_ >= 0 ? readBack(fd_, limit) : Result<std::string>(std::string());
    memory_ = kept ? std::move(*kept) : std::string();
    close();
    if (!kept)
        return Error{"Cannot read back " + path_.string() + ": " + kept.error()};
    return {};
}

void Journal::write(std::int64_t t, const LocalDateTime& time, std::string_view event,
                    const JsonFields& fields) {
    if (fd_ < 0 && !memory_)
        return;
    const std::string line = "{\"t\":" + std::to_string(t) +
                             ",\"time\":" + jsonString(isoTime(time)) +
                             ",\"event\":" + jsonString(event) + fields.text() + "}\n";
    if (memory_) {
        if (memory_->size() + line.size() <= memoryLimit_)
            *memory_ += line;
        else if (status_.ok())
            status_ = Error{"The journal kept in memory is full: later lines are lost"};
        return;
    }
    const ssize_t n = ::write(fd_, line.data(), line.size());
    if (n != static_cast<ssize_t>(line.size()) && status_.ok()) {
        const int e = errno;
        if (n > 0) // half a line would spoil the journal: cut it off again
            if (::ftruncate(fd_, ::lseek(fd_, 0, SEEK_END) - n) != 0)
                ::close(::dup(fd_)); // nothing more can be done about it
        status_ = Error{"Cannot write " + path_.string() + ": " +
                        (n < 0 ? std::strerror(e) : "No space left on device")};
    }
}

std::string lastJournalTime(std::string_view text) {
    const std::size_t end = text.rfind('\n');
    if (end == std::string_view::npos)
        return {};
    const std::size_t prev = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
    const std::size_t begin = prev == std::string_view::npos ? 0 : prev + 1;
    const std::string_view line = text.substr(begin, end - begin);
    const std::string_view key = "\"time\":\"";
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos)
        return {};
    const std::size_t close = line.find('"', at + key.size());
    if (close == std::string_view::npos)
        return {};
    return std::string(line.substr(at + key.size(), close - at - key.size()));
}

} // namespace kestle::evidence
