// SPDX-License-Identifier: GPL-3.0-or-later
// A bag's folders listed and walked without following a link (bag_reader.h).
#include "evidence/bag_reader.h"

#include "evidence/bag_reader_detail.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::evidence {

using namespace detail;

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
