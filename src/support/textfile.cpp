#include "support/textfile.h"

#include "support/cp1252.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

} // namespace

Result<std::string> readFileBytes(const std::filesystem::path& p) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f)
        return failure("Cannot read", p, errno);
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.append(buf, n);
    const int err = std::ferror(f) ? errno : 0;
    std::fclose(f);
    if (err != 0)
        return failure("Cannot read", p, err);
    return bytes;
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
    f_ = std::fopen(p.c_str(), "ab");
    if (!f_)
        return failure("Cannot open", p, errno);
    // Unbuffered: each line goes out in one write, and a failed write leaves
    // nothing behind to reappear with the next line.
    std::setvbuf(f_, nullptr, _IONBF, 0);
    return {};
}

Status AppendFile::write(std::string_view utf8, bool lineEnd) {
    if (!f_)
        return Error{"Cannot write " + path_.string() + ": file not open"};
    std::string bytes = utf8ToCp1252(utf8);
    if (lineEnd)
        bytes += "\r\n";
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::fflush(f_) != 0) {
        const int err = errno != 0 ? errno : EIO;
        std::clearerr(f_);
        return failure("Cannot write", path_, err);
    }
    return {};
}

void AppendFile::close() {
    if (f_)
        std::fclose(f_);
    f_ = nullptr;
}

} // namespace kestle
