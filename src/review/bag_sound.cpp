#include "review/bag_sound.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::review {

BagFile::~BagFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

BagFile& BagFile::operator=(BagFile&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = o.fd_;
        size_ = o.size_;
        name_ = std::move(o.name_);
        o.fd_ = -1;
    }
    return *this;
}

Result<std::string> BagFile::read(std::uint64_t offset, std::size_t bytes) const {
    std::string out(bytes, '\0');
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd_, out.data() + got, bytes - got, off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Error{name_ + " cannot be read: " + std::strerror(errno)};
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    out.resize(got);
    return out;
}

Result<BagFile> openBagFile(const std::filesystem::path& bag, const std::string& relative,
                            std::uint64_t maxBytes) {
    const std::string name = relative;
    auto fail = [&name](const std::string& why) { return Error{name + " " + why}; };
    if (relative.empty() || relative.front() == '/')
        return fail("is not a path inside the bag");
    int dir = ::open(bag.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Error{bag.string() + " cannot be opened: " + std::strerror(errno)};
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', from);
        const std::string part =
            relative.substr(from, slash == std::string::npos ? slash : slash - from);
        if (part.empty() || part == "." || part == "..") {
            ::close(dir);
            return fail("is not a path inside the bag");
        }
        const bool last = slash == std::string::npos;
        // Non-blocking, so that a FIFO is never waited on; refused below.
        const int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | (last ? O_NONBLOCK : O_DIRECTORY);
        const int next = ::openat(dir, part.c_str(), flags);
        const int err = errno;
        ::close(dir);
        if (next < 0)
            return fail(err == ELOOP || err == ENOTDIR
                            ? "is a link or lies below one, not a file"
                            : "cannot be opened: " + std::string(std::strerror(err)));
        if (last) {
            dir = next;
            break;
        }
        dir = next;
        from = slash + 1;
    }
    struct stat st {};
    if (::fstat(dir, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(dir);
        return fail("is not a regular file");
    }
    if (std::uint64_t(st.st_size) > maxBytes) {
        ::close(dir);
        return fail("is larger than " + std::to_string(maxBytes >> 20) + " MiB");
    }
    ::fcntl(dir, F_SETFL, ::fcntl(dir, F_GETFL) & ~O_NONBLOCK);
    BagFile f;
    f.fd_ = dir;
    f.size_ = std::uint64_t(st.st_size);
    f.name_ = name;
    return f;
}

Result<std::size_t> WavFileSource::read(std::uint64_t at, std::span<float> out) {
    if (at >= frames())
        return std::size_t{0};
    const std::size_t n = std::size_t(std::min<std::uint64_t>(out.size(), frames() - at));
    const std::uint64_t fb = std::uint64_t(layout_.frameBytes());
    auto bytes = file_.read(layout_.dataOffset + at * fb, std::size_t(n * fb));
    if (!bytes)
        return Error{bytes.error()};
    const std::size_t got = bytes->size() / std::size_t(fb);
    decodePcm(layout_, *bytes, out.first(got));
    return got;
}

Result<std::unique_ptr<WavFileSource>> openBagSound(const std::filesystem::path& bag,
                                                    const std::string& relative) {
    auto file = openBagFile(bag, relative);
    if (!file)
        return Error{file.error()};
    auto head = file->read(0, std::size_t(std::min<std::uint64_t>(file->size(), 65536)));
    if (!head)
        return Error{head.error()};
    auto layout = parseWavLayout(*head, file->size());
    if (!layout)
        return Error{relative + ": " + layout.error()};
    return std::make_unique<WavFileSource>(std::move(*file), *layout);
}

} // namespace kestle::review
