// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/textfile.h"

#include "support/cp1252.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kestle {

namespace {

Error failure(std::string_view what, const std::filesystem::path& p, int err) {
    return Error{std::string(what) + " " + p.string() + ": " +
                 std::generic_category().message(err)};
}

// Writes all of `bytes` to `fd`, retrying short writes; 0 or the errno.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Creates a new, unique file beside `p`; -1 with errno on failure.
int createTemp(const std::filesystem::path& p, std::filesystem::path& tmp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = p;
        tmp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

Error tooLarge(const std::filesystem::path& p, std::uint64_t maxBytes) {
    return Error{"Cannot read " + p.string() + ": it is larger than " + std::to_string(maxBytes) +
                 " bytes"};
}

// Why a file with this status is not read; an empty message when it is.
Error unreadable(const std::filesystem::path& p, const struct stat& st, std::uint64_t maxBytes) {
    if (S_ISDIR(st.st_mode))
        return failure("Cannot read", p, EISDIR);
    if (!S_ISREG(st.st_mode))
        return Error{"Cannot read " + p.string() + ": it is not a regular file"};
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return tooLarge(p, maxBytes);
    return Error{};
}

} // namespace

Result<std::string> readFileBytes(const std::filesystem::path& p, std::uint64_t maxBytes) {
    // Refused by name first, so that opening a device has no side effect;
    // checked again on the open file, which may have been swapped meanwhile.
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return failure("Cannot read", p, errno);
    if (Error e = unreadable(p, st, maxBytes); !e.message.empty())
        return e;
    const int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failure("Cannot read", p, errno);
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return failure("Cannot read", p, err);
    }
    if (Error e = unreadable(p, st, maxBytes); !e.message.empty()) {
        ::close(fd);
        return e;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) // it grew while being read
            break;
    }
    ::close(fd);
    if (err != 0)
        return failure("Cannot read", p, err);
    if (bytes.size() > maxBytes)
        return tooLarge(p, maxBytes);
    return bytes;
}

int removeStaleTemporaries(const std::filesystem::path& p) {
    const std::string prefix = p.filename().string() + ".tmp";
    const auto dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
    std::error_code ec;
    std::vector<std::filesystem::path> stale;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix))
            continue;
        // ".tmp<pid>-<n>", as createTemp names them.
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        long pid = 0;
        unsigned long n = 0;
        auto [dash, e1] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (e1 != std::errc() || pid <= 0 || dash == rest.data() + rest.size() || *dash != '-')
            continue;
        auto [stop, e2] = std::from_chars(dash + 1, rest.data() + rest.size(), n);
        if (e2 != std::errc() || stop != rest.data() + rest.size())
            continue;
        // Still running (or not ours to ask): its save may be under way.
        if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        stale.push_back(it->path());
    }
    int removed = 0;
    for (const auto& f : stale) {
        if (std::filesystem::remove(f, ec))
            ++removed;
    }
    return removed;
}

Status writeFileBytesAtomic(const std::filesystem::path& p, std::string_view bytes) {
    std::filesystem::path tmp;
    const int fd = createTemp(p, tmp);
    if (fd < 0)
        return failure("Cannot write", p, errno);
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    int err = writeAll(fd, bytes);
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(tmp.c_str(), p.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return failure("Cannot write", p, err);
    }
    // Make the rename itself durable; a failure here leaves a complete file.
    const auto dir = p.has_parent_path() ? p.parent_path() : std::filesystem::path(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        std::size_t end = lf;
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

AppendFile::~AppendFile() {
    close();
}

Status AppendFile::open(const std::filesystem::path& p) {
    close();
    path_ = p;
    // Not waiting for a reader if the name is a FIFO.
    fd_ =
        ::open(p.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return failure("Cannot open", p, errno);
    ::fcntl(fd_, F_SETFL, O_APPEND);
    return {};
}

Status AppendFile::write(std::string_view utf8, bool lineEnd) {
    if (fd_ < 0)
        return Error{"Cannot write " + path_.string() + ": file not open"};
    std::string bytes = utf8ToCp1252(utf8);
    if (lineEnd)
        bytes += "\r\n";
    struct stat st {};
    const bool regular = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    if (const int err = writeAll(fd_, bytes); err != 0) {
        // A full disk takes what fits in its last block: cut that off again.
        if (regular)
            (void)::ftruncate(fd_, st.st_size);
        return failure("Cannot write", path_, err);
    }
    return {};
}

void AppendFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace kestle
