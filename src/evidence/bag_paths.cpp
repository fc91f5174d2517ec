// SPDX-License-Identifier: GPL-3.0-or-later
// Paths inside a bag, what an entry is, the component by component open
// and the messages of the bag reader (bag_reader.h).
#include "evidence/bag_reader_detail.h"

#include "support/quote.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace kestle::evidence {

namespace detail {

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

Status count(BagShared& s, std::uint64_t n, std::string_view path) {
    const std::uint64_t total = s.read += n;
    if (total > s.limits.totalBytes)
        return fail(path, "reading it would take the bag past " + bytesText(s.limits.totalBytes) +
                              " read in all");
    if (s.progress)
        s.progress(total);
    return {};
}

} // namespace detail

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

} // namespace kestle::evidence
