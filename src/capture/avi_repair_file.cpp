// SPDX-License-Identifier: GPL-3.0-or-later
// The repair's file operations: the guarded open, the journal, the writes in
// their order, the copy for a file with other links, and the rebuild.
#include "capture/avi_repair.h"
#include "support/unique_fd.h"

#include "support/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestle::capture {

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMaxAviBytes = 0xFFFFFFFFull + 8;
constexpr std::uint64_t kMaxJournalBytes = 64 * 1024;

using kestle::Fd;

Error failed(const char* what, const fs::path& p, const std::string& why) {
    return Error{std::string(what) + " " + p.string() + ": " + why};
}
Error failed(const char* what, const fs::path& p, int err) {
    return failed(what, p, std::strerror(err));
}

// 0 or the errno.
int writeAt(int fd, std::string_view b, std::uint64_t at) {
    while (!b.empty()) {
        const ssize_t n = ::pwrite(fd, b.data(), b.size(), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        b.remove_prefix(static_cast<std::size_t>(n));
        at += static_cast<std::uint64_t>(n);
    }
    return 0;
}

void syncFolder(const fs::path& p) {
    const int dfd = ::open(p.parent_path().empty() ? "." : p.parent_path().c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

struct Opened {
    Fd fd;
    struct stat st {};
    bool writable = false;
};

// Opens a regular file that is no symlink, without side effects on anything
// else: refused by name first, then checked again on what was opened.
Result<Opened> openAvi(const char* what, const fs::path& p, bool write) {
    Opened o;
    if (::lstat(p.c_str(), &o.st) != 0)
        return failed(what, p, errno);
    if (S_ISLNK(o.st.st_mode))
        return failed(what, p, "it is a symbolic link");
    if (!S_ISREG(o.st.st_mode))
        return failed(what, p, "it is not a regular file");
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    o.fd = Fd(::open(p.c_str(), (write ? O_RDWR : O_RDONLY) | flags));
    o.writable = write && o.fd.get() >= 0;
    if (o.fd.get() < 0 && write && (errno == EACCES || errno == EROFS || errno == EPERM))
        o.fd = Fd(::open(p.c_str(), O_RDONLY | flags));
    if (o.fd.get() < 0)
        return failed(what, p, errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
    if (::fstat(o.fd.get(), &o.st) != 0)
        return failed(what, p, errno);
    if (!S_ISREG(o.st.st_mode))
        return failed(what, p, "it is not a regular file");
    if (static_cast<std::uint64_t>(o.st.st_size) > kMaxAviBytes)
        return failed(what, p, "it is larger than one RIFF part can be");
    return o;
}

bool holds(int fd, std::uint64_t size, const AviRepair& tag, bool orRecorded) {
    FileAviSource src(fd, size);
    for (const ReplacedBytes& r : tag.replaced) {
        std::string got(r.after.size(), '\0');
        if (!src.read(r.offset, got.data(), got.size()) ||
            (got != r.after && !(orRecorded && got == r.before)))
            return false;
    }
    return true;
}

// Puts a file that an unfinished repair changed back as recorded.
Status rollBack(int fd, const AviRepair& tag) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Error{std::strerror(errno)};
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size < tag.recordedSize || size > tag.repairedSize || !holds(fd, size, tag, true))
        return Error{"it does not match the journal of its unfinished repair"};
    for (const ReplacedBytes& r : tag.replaced)
        if (int e = writeAt(fd, r.before, r.offset))
            return Error{std::strerror(e)};
    if (::fsync(fd) != 0 || ::ftruncate(fd, static_cast<off_t>(tag.recordedSize)) != 0 ||
        ::fsync(fd) != 0)
        return Error{std::strerror(errno)};
    return {};
}

// Copies the first `n` bytes of `in` to `out`; 0, ECANCELED or the errno.
int copyBytes(int in, int out, std::uint64_t n, std::stop_token stop) {
    std::string buf(1 << 20, '\0');
    for (std::uint64_t at = 0; at < n;) {
        if (stop.stop_requested())
            return ECANCELED;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), n - at));
        const ssize_t got = ::pread(in, buf.data(), want, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : EIO;
        if (int e = writeAt(out, std::string_view(buf.data(), static_cast<std::size_t>(got)), at))
            return e;
        at += static_cast<std::uint64_t>(got);
    }
    return 0;
}

fs::path hiddenPath(const fs::path& p, const char* suffix) {
    return p.parent_path() / ("." + p.filename().string() + suffix);
}

// A hidden file beside `p`, made anew (a stale one of a killed call first
// removed; calls on one file exclude each other).
Result<Fd> hiddenBeside(const fs::path& p, const char* suffix, mode_t mode) {
    const fs::path tmp = hiddenPath(p, suffix);
    ::unlink(tmp.c_str());
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.get() < 0)
        return Error{std::strerror(errno)};
    return fd;
}

// Writes a plan's bytes into `fd`, the appended ones first.
int writePlan(int fd, const AviRepairPlan& plan) {
    if (int e = writeAt(fd, plan.appended, plan.repair.recordedSize))
        return e;
    if (::fsync(fd) != 0)
        return errno;
    for (auto r = plan.repair.replaced.rbegin(); r != plan.repair.replaced.rend(); ++r)
        if (int e = writeAt(fd, r->after, r->offset))
            return e;
    return ::fsync(fd) != 0 ? errno : 0;
}

Result<AviRepair> repairInPlace(const fs::path& avi, int fd, const AviRepairPlan& plan) {
    const fs::path journal = aviRepairJournal(avi);
    if (Status s = writeFileBytesAtomic(journal, repairTagText(plan.repair)); !s)
        return failed("Cannot repair", avi, s.error());
    if (int e = writePlan(fd, plan)) {
        // Back as recorded at once; if even that fails, the journal stays
        // and the next call does it.
        if (rollBack(fd, plan.repair)) {
            ::unlink(journal.c_str());
            syncFolder(journal);
        }
        return failed("Cannot repair", avi, e);
    }
    ::unlink(journal.c_str());
    syncFolder(journal);
    return plan.repair;
}

// A repaired copy renamed over `avi`; the file's other links keep the
// recorded bytes.
Result<AviRepair> repairCopy(const fs::path& avi, const Opened& o, const AviRepairPlan& plan,
                             std::stop_token stop) {
    auto out = hiddenBeside(avi, ".repair-copy", o.st.st_mode & 07777);
    if (!out)
        return failed("Cannot repair", avi, out.error());
    const fs::path tmp = hiddenPath(avi, ".repair-copy");
    int e = copyBytes(o.fd.get(), out->get(), plan.repair.recordedSize, stop);
    if (e == 0)
        e = writePlan(out->get(), plan);
    if (e == 0 && ::close(out->release()) != 0)
        e = errno;
    if (e == 0 && ::rename(tmp.c_str(), avi.c_str()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(tmp.c_str());
        return failed("Cannot repair", avi, e == ECANCELED ? "stopped" : std::strerror(e));
    }
    syncFolder(avi);
    return plan.repair;
}

// Puts back a file whose repair was killed midway, from its journal.
Status finishUnfinished(const fs::path& avi, const Opened& o) {
    const fs::path journal = aviRepairJournal(avi);
    struct stat st {};
    if (::lstat(journal.c_str(), &st) != 0)
        return {};
    auto text = readFileBytes(journal, kMaxJournalBytes);
    auto tag = text ? parseRepairTag(*text) : Result<AviRepair>(Error{text.error()});
    if (!tag)
        return failed("Cannot repair", avi, "its repair journal is unreadable: " + tag.error());
    if (!o.writable)
        return failed("Cannot repair", avi, std::strerror(EACCES));
    if (Status s = rollBack(o.fd.get(), *tag); !s)
        return failed("Cannot repair", avi, s.error());
    ::unlink(journal.c_str());
    syncFolder(journal);
    return {};
}

} // namespace

fs::path aviRepairJournal(const fs::path& avi) {
    return hiddenPath(avi, ".repair");
}

Result<AviRepair> repairAvi(const fs::path& avi, const AviRepairOptions& options) {
    auto o = openAvi("Cannot repair", avi, true);
    if (!o)
        return Error{o.error()};
    if (::flock(o->fd.get(), LOCK_EX | LOCK_NB) != 0)
        return failed("Cannot repair", avi,
                      errno == EWOULDBLOCK ? "another repair of it is under way"
                                           : std::strerror(errno));
    if (Status s = finishUnfinished(avi, *o); !s)
        return Error{s.error()};
    if (::fstat(o->fd.get(), &o->st) != 0)
        return failed("Cannot repair", avi, errno);
    FileAviSource src(o->fd.get(), static_cast<std::uint64_t>(o->st.st_size));
    auto plan = planAviRepair(src, options.stop);
    if (!plan)
        return failed("Cannot repair", avi, plan.error());
    if (plan->repair.outcome != AviRepair::Outcome::Repaired)
        return plan->repair;
    if (!o->writable)
        return failed("Cannot repair", avi, std::strerror(EACCES));
    if (o->st.st_nlink > 1 && options.otherLinks == AviRepairOptions::OtherLinks::Keep)
        return repairCopy(avi, *o, *plan, options.stop);
    return repairInPlace(avi, o->fd.get(), *plan);
}

Status restoreOriginal(const fs::path& repaired, const AviRepair& tag, const fs::path& out) {
    auto o = openAvi("Cannot rebuild", repaired, false);
    if (!o)
        return Error{o.error()};
    const auto size = static_cast<std::uint64_t>(o->st.st_size);
    if (size != tag.repairedSize || !holds(o->fd.get(), size, tag, false))
        return failed("Cannot rebuild", repaired, "it is not the repaired file its tag describes");
    auto fd = hiddenBeside(out, ".rebuild", 0644);
    if (!fd)
        return failed("Cannot write", out, fd.error());
    const fs::path tmp = hiddenPath(out, ".rebuild");
    int e = copyBytes(o->fd.get(), fd->get(), tag.recordedSize, {});
    for (const ReplacedBytes& r : tag.replaced)
        if (e == 0)
            e = writeAt(fd->get(), r.before, r.offset);
    if (e == 0 && ::fsync(fd->get()) != 0)
        e = errno;
    if (e == 0 && ::close(fd->release()) != 0)
        e = errno;
    if (e == 0 && ::rename(tmp.c_str(), out.c_str()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(tmp.c_str());
        return failed("Cannot write", out, e);
    }
    syncFolder(out);
    return {};
}

} // namespace kestle::capture
