#include "evidence/bag_reader.h"

#include "support/quote.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::evidence {

namespace fs = std::filesystem;

namespace detail {

struct BagShared {
    fs::path folder;
    int fd = -1;
    ReadLimits limits;
    StopFlag stop;
    std::atomic<std::uint64_t> read{0};
    std::function<void(std::uint64_t)> progress;
    ~BagShared() {
        if (fd >= 0)
            ::close(fd);
    }
    bool stopped() const { return stop && stop->load(); }
};

} // namespace detail

using detail::BagShared;

namespace {

constexpr std::size_t kChunk = 1 << 20;

Error fail(std::string_view rel, const std::string& why) {
    return Error{(rel.empty() ? std::string("the bag's folder") : printableText(rel)) + ": " + why};
}

Error failErrno(std::string_view rel, int err) {
    return fail(rel, std::strerror(err));
}

Error stoppedError() {
    return Error{"stopped"};
}

EntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::Regular;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    if (S_ISLNK(mode))
        return EntryKind::Symlink;
    if (S_ISFIFO(mode))
        return EntryKind::Fifo;
    if (S_ISSOCK(mode))
        return EntryKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return EntryKind::Device;
    return EntryKind::Other;
}

EntryInfo infoOf(const struct stat& st) {
    EntryInfo i;
    i.kind = kindOf(st.st_mode);
    i.size = i.kind == EntryKind::Regular ? static_cast<std::uint64_t>(st.st_size) : 0;
    i.device = static_cast<std::uint64_t>(st.st_dev);
    i.inode = static_cast<std::uint64_t>(st.st_ino);
    return i;
}

// Why an entry of this kind is not read; empty for a regular file.
std::string refusal(EntryKind k) {
    switch (k) {
    case EntryKind::Regular:
        return {};
    case EntryKind::Missing:
        return "missing";
    case EntryKind::Symlink:
        return "a symbolic link (not followed)";
    case EntryKind::Directory:
        return "a folder, not a file";
    default:
        return std::string("not a regular file (") + entryKindText(k) + ")";
    }
}

// The components of a path inside the bag; an error for anything else.
Result<std::vector<std::string_view>> components(std::string_view rel) {
    std::vector<std::string_view> parts;
    if (rel.empty())
        return parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t slash = rel.find('/', from);
        const std::string_view c = rel.substr(from, slash - from);
        if (c.empty() || c == "." || c == ".." || c.find('\0') != std::string_view::npos)
            return fail(rel, "not a path inside the bag");
        parts.push_back(c);
        if (slash == std::string_view::npos)
            return parts;
        from = slash + 1;
    }
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = o.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int f = fd_;
        fd_ = -1;
        return f;
    }

  private:
    int fd_;
};

// Opens the folder that holds the last component of `rel`, component by
// component. `blocked` is set (and the result is an empty Fd) when a
// component on the way is missing or not a folder.
Result<Fd> openParent(const BagShared& s, const std::vector<std::string_view>& parts,
                      std::string_view rel, EntryInfo& blocked) {
    Fd dir(::dup(s.fd));
    if (dir.get() < 0)
        return failErrno(rel, errno);
    std::string walked;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string name(parts[i]);
        walked += (walked.empty() ? "" : "/") + name;
        Fd next(::openat(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            const int err = errno;
            if (err != ENOENT && err != ENOTDIR && err != ELOOP)
                return failErrno(walked, err);
            struct stat st {};
            blocked.kind = EntryKind::Missing;
            blocked.blockedAt = walked;
            blocked.blockedBy = ::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0
                                    ? kindOf(st.st_mode)
                                    : EntryKind::Missing;
            return Fd();
        }
        dir = std::move(next);
    }
    return dir;
}

} // namespace

const char* entryKindText(EntryKind k) {
    switch (k) {
    case EntryKind::Missing:
        return "missing";
    case EntryKind::Regular:
        return "a regular file";
    case EntryKind::Directory:
        return "a folder";
    case EntryKind::Symlink:
        return "a symbolic link";
    case EntryKind::Fifo:
        return "a FIFO";
    case EntryKind::Socket:
        return "a socket";
    case EntryKind::Device:
        return "a device";
    case EntryKind::Other:
        break;
    }
    return "not a file";
}

std::string bytesText(std::uint64_t n) {
    if (n >= (1ull << 30) && n % (1ull << 30) == 0)
        return std::to_string(n >> 30) + " GiB";
    if (n >= (1ull << 20) && n % (1ull << 20) == 0)
        return std::to_string(n >> 20) + " MiB";
    if (n >= (1ull << 10) && n % (1ull << 10) == 0)
        return std::to_string(n >> 10) + " KiB";
    return std::to_string(n) + " bytes";
}

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

// Counts `n` more bytes read; an error past the reader's whole limit.
Status count(BagShared& s, std::uint64_t n, std::string_view path) {
    const std::uint64_t total = s.read += n;
    if (total > s.limits.totalBytes)
        return fail(path, "reading it would take the bag past " + bytesText(s.limits.totalBytes) +
                              " read in all");
    if (s.progress)
        s.progress(total);
    return {};
}

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

namespace {

// The names in an open folder, sorted; the folder's fd stays the caller's.
Result<std::vector<std::string>> namesIn(int dirFd, std::string_view rel, std::size_t max) {
    const int fd = ::dup(dirFd);
    if (fd < 0)
        return failErrno(rel, errno);
    DIR* d = ::fdopendir(fd);
    if (!d) {
        const int err = errno;
        ::close(fd);
        return failErrno(rel, err);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view n = e->d_name;
        if (n == "." || n == "..")
            continue;
        if (names.size() >= max) {
            ::closedir(d);
            return fail(rel, "holds more than " + std::to_string(max) + " entries");
        }
        names.emplace_back(n);
    }
    const int err = errno;
    ::closedir(d);
    if (err != 0)
        return failErrno(rel, err);
    std::sort(names.begin(), names.end());
    return names;
}

struct Walk {
    const BagShared& shared;
    const std::function<Status(const std::string&, const EntryInfo&)>& visit;
    std::size_t seen = 0;

    Status folder(int fd, const std::string& rel, int depth) {
        if (depth > shared.limits.walkDepth)
            return fail(rel, "lies more than " + std::to_string(shared.limits.walkDepth) +
                                 " folders deep");
        auto names = namesIn(fd, rel, shared.limits.walkEntries);
        if (!names)
            return Error{names.error()};
        for (const std::string& name : *names) {
            if (shared.stopped())
                return stoppedError();
            if (++seen > shared.limits.walkEntries)
                return fail(rel, "the bag holds more than " +
                                     std::to_string(shared.limits.walkEntries) + " entries");
            const std::string path = rel.empty() ? name : rel + "/" + name;
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue; // gone meanwhile
                return failErrno(path, errno);
            }
            const EntryInfo info = infoOf(st);
            if (Status s = visit(path, info); !s)
                return s;
            if (info.kind != EntryKind::Directory)
                continue;
            Fd sub(::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.get() < 0)
                return failErrno(path, errno);
            if (Status s = folder(sub.get(), path, depth + 1); !s)
                return s;
        }
        return {};
    }
};

// The folder `rel` opened, or an error saying what it is instead.
Result<Fd> openFolder(const BagShared& s, std::string_view rel) {
    auto parts = components(rel);
    if (!parts)
        return Error{parts.error()};
    if (parts->empty())
        return Fd(::dup(s.fd));
    EntryInfo blocked;
    auto dir = openParent(s, *parts, rel, blocked);
    if (!dir)
        return Error{dir.error()};
    if (dir->get() < 0)
        return fail(rel, "missing");
    const std::string last(parts->back());
    Fd fd(::openat(dir->get(), last.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        const int err = errno;
        struct stat st {};
        if (::fstatat(dir->get(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode))
            return fail(rel, std::string("not a folder but ") + entryKindText(kindOf(st.st_mode)));
        return err == ENOENT ? fail(rel, "missing") : failErrno(rel, err);
    }
    return fd;
}

} // namespace

Result<std::vector<DirEntry>> BagReader::list(std::string_view rel) const {
    auto fd = openFolder(*shared_, rel);
    if (!fd)
        return Error{fd.error()};
    auto names = namesIn(fd->get(), rel, shared_->limits.walkEntries);
    if (!names)
        return Error{names.error()};
    std::vector<DirEntry> entries;
    for (const std::string& name : *names) {
        struct stat st {};
        if (::fstatat(fd->get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        entries.push_back({name, infoOf(st)});
    }
    return entries;
}

Status
BagReader::walk(std::string_view rel,
                const std::function<Status(const std::string&, const EntryInfo&)>& visit) const {
    auto fd = openFolder(*shared_, rel);
    if (!fd)
        return Error{fd.error()};
    Walk w{*shared_, visit};
    return w.folder(fd->get(), std::string(rel), 1);
}

} // namespace kestle::evidence
