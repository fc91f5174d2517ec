// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/bag_reader.h"

#include "evidence/bag_reader_detail.h"
#include "support/quote.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::evidence {

namespace fs = std::filesystem;
using namespace detail;

// --- BagFile ---------------------------------------------------------------

BagFile::BagFile(std::shared_ptr<BagShared> shared, int fd, std::string path, std::uint64_t size,
                 std::uint64_t device, std::uint64_t inode)
    : shared_(std::move(shared)), fd_(fd), path_(std::move(path)), size_(size), device_(device),
      inode_(inode) {}

BagFile::~BagFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

BagFile::BagFile(BagFile&& o) noexcept
    : shared_(std::move(o.shared_)), fd_(o.fd_), path_(std::move(o.path_)), size_(o.size_),
      offset_(o.offset_), device_(o.device_), inode_(o.inode_) {
    o.fd_ = -1;
}

namespace {

Result<std::size_t> readSome(int fd, char* buf, std::size_t n, std::string_view path) {
    for (;;) {
        const ssize_t got = ::read(fd, buf, n);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return failErrno(path, errno);
    }
}

} // namespace

Result<std::size_t> BagFile::read(char* buf, std::size_t n) {
    if (shared_->stopped())
        return stoppedError();
    if (offset_ >= size_) {
        // At its size when opened: anything more means it is being written.
        char probe = 0;
        auto more = readSome(fd_, &probe, 1, path_);
        if (!more)
            return more;
        if (*more > 0)
            return fail(path_, "changed while it was read (it grew)");
        return std::size_t{0};
    }
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset_));
    auto got = readSome(fd_, buf, n, path_);
    if (!got)
        return got;
    if (*got == 0)
        return fail(path_, "changed while it was read (it shrank)");
    offset_ += *got;
    if (Status s = count(*shared_, *got, path_); !s)
        return Error{s.error()};
    return got;
}

Result<std::size_t> BagFile::readAt(std::uint64_t offset, char* buf, std::size_t n) {
    if (shared_->stopped())
        return stoppedError();
    if (offset >= size_)
        return std::size_t{0};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
    for (;;) {
        const ssize_t got = ::pread(fd_, buf, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failErrno(path_, errno);
        if (Status s = count(*shared_, static_cast<std::uint64_t>(got), path_); !s)
            return Error{s.error()};
        return static_cast<std::size_t>(got);
    }
}

// --- BagReader -------------------------------------------------------------

Result<BagReader> BagReader::open(const fs::path& bag, ReadLimits limits, StopFlag stop) {
    auto s = std::make_shared<BagShared>();
    s->folder = bag;
    s->limits = limits;
    s->stop = std::move(stop);
    s->fd = ::open(bag.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (s->fd < 0) {
        const int err = errno;
        return Error{printableText(bag.string()) + ": " +
                     (err == ENOTDIR ? std::string("not a folder") : std::strerror(err))};
    }
    return BagReader(std::move(s));
}

const fs::path& BagReader::folder() const {
    return shared_->folder;
}

const ReadLimits& BagReader::limits() const {
    return shared_->limits;
}

void BagReader::onProgress(std::function<void(std::uint64_t)> progress) {
    shared_->progress = std::move(progress);
}

std::uint64_t BagReader::bytesRead() const {
    return shared_->read;
}

bool BagReader::stopped() const {
    return shared_->stopped();
}

Result<EntryInfo> BagReader::inspect(std::string_view rel) const {
    auto parts = components(rel);
    if (!parts)
        return Error{parts.error()};
    struct stat st {};
    if (parts->empty()) {
        if (::fstat(shared_->fd, &st) != 0)
            return failErrno(rel, errno);
        return infoOf(st);
    }
    EntryInfo blocked;
    auto dir = openParent(*shared_, *parts, rel, blocked);
    if (!dir)
        return Error{dir.error()};
    if (dir->get() < 0)
        return blocked;
    const std::string last(parts->back());
    if (::fstatat(dir->get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return EntryInfo{};
        return failErrno(rel, errno);
    }
    return infoOf(st);
}

Result<BagFile> BagReader::openFile(std::string_view rel) const {
    if (shared_->stopped())
        return stoppedError();
    auto parts = components(rel);
    if (!parts)
        return Error{parts.error()};
    if (parts->empty())
        return fail(rel, refusal(EntryKind::Directory));
    EntryInfo blocked;
    auto dir = openParent(*shared_, *parts, rel, blocked);
    if (!dir)
        return Error{dir.error()};
    if (dir->get() < 0)
        return fail(rel, blocked.blockedBy == EntryKind::Missing
                             ? "missing"
                             : "missing: " + printableText(blocked.blockedAt) + " is " +
                                   entryKindText(blocked.blockedBy) + " (not followed)");
    const std::string last(parts->back());
    // Refused by its kind first, so that opening a device has no side
    // effect; checked again on the descriptor, as it may have been swapped.
    struct stat st {};
    if (::fstatat(dir->get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? fail(rel, "missing") : failErrno(rel, errno);
    if (const std::string why = refusal(kindOf(st.st_mode)); !why.empty())
        return fail(rel, why);
    const int fd = ::openat(dir->get(), last.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP ? fail(rel, refusal(EntryKind::Symlink)) : failErrno(rel, errno);
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return failErrno(rel, err);
    }
    if (const std::string why = refusal(kindOf(st.st_mode)); !why.empty()) {
        ::close(fd);
        return fail(rel, why);
    }
    return BagFile(shared_, fd, printableText(rel), static_cast<std::uint64_t>(st.st_size),
                   static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino));
}

Result<std::string> BagReader::readAll(std::string_view rel, std::uint64_t maxBytes) const {
    if (maxBytes == 0)
        maxBytes = shared_->limits.fileBytes;
    auto f = openFile(rel);
    if (!f)
        return Error{f.error()};
    if (f->size() > maxBytes)
        return fail(rel, "larger than " + bytesText(maxBytes) + " (" + std::to_string(f->size()) +
                             " bytes)");
    std::string bytes(static_cast<std::size_t>(f->size()), '\0');
    std::size_t at = 0;
    while (true) {
        const std::size_t want = std::min<std::size_t>(kChunk, bytes.size() - at);
        if (want == 0) {
            // The end, unless it grew meanwhile.
            char probe = 0;
            auto more = f->read(&probe, 1);
            if (!more)
                return Error{more.error()};
            return bytes;
        }
        auto got = f->read(bytes.data() + at, want);
        if (!got)
            return Error{got.error()};
        at += *got;
    }
}

Status BagReader::readChunks(std::string_view rel,
                             const std::function<Status(std::string_view)>& sink) const {
    auto f = openFile(rel);
    if (!f)
        return Error{f.error()};
    // A small file needs no chunk of a megabyte (a bag may hold millions).
    std::vector<char> buf(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, f->size() + 1)));
    while (true) {
        auto got = f->read(buf.data(), buf.size());
        if (!got)
            return Error{got.error()};
        if (*got == 0)
            return {};
        if (Status s = sink(std::string_view(buf.data(), *got)); !s)
            return s;
    }
}

Result<LineReader> BagReader::lines(std::string_view rel, bool crEnds, bool gzip,
                                    std::uint64_t maxInflated) const {
    auto f = openFile(rel);
    if (!f)
        return Error{f.error()};
    std::unique_ptr<ChunkSource> in = std::make_unique<BagFile>(std::move(*f));
    if (gzip)
        in = std::make_unique<GzipSource>(std::move(in), printableText(rel),
                                          maxInflated ? maxInflated : shared_->limits.inflatedBytes,
                                          true);
    return LineReader(std::move(in), printableText(rel), shared_->limits.lineBytes, crEnds);
}

Status BagReader::inflate(std::string_view rel, const std::function<Status(std::string_view)>& sink,
                          std::uint64_t maxInflated) const {
    auto f = openFile(rel);
    if (!f)
        return Error{f.error()};
    GzipSource gz(std::make_unique<BagFile>(std::move(*f)), printableText(rel),
                  maxInflated ? maxInflated : shared_->limits.inflatedBytes);
    std::vector<char> buf(kChunk);
    while (true) {
        auto got = gz.read(buf.data(), buf.size());
        if (!got)
            return Error{got.error()};
        if (*got == 0)
            break;
        if (Status s = sink(std::string_view(buf.data(), *got)); !s)
            return s;
    }
    if (!gz.whole())
        return fail(rel, gz.why());
    return {};
}

} // namespace kestle::evidence
