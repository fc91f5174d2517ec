// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_file.h"

#include "capture/capture_controls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::capture {

namespace {

// Enough for two captures that share a second and a counter; beyond it
// something else is wrong.
constexpr int kMaxVariants = 100;

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string numberedName(const std::string& path, int n) {
    const auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        dot = path.size();
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

NewFile createCaptureFile(const std::string& path) {
    NewFile f;
    if (path.empty()) {
        f.status = kFileNotFound;
        f.reason = "No capture file name";
        return f;
    }
    struct stat st {};
    if (::stat(folderOf(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        f.status = kFileNotFound;
        f.reason = "The folder " + folderOf(path) + " does not exist";
        return f;
    }
    for (int n = 1; n <= kMaxVariants; ++n) {
        const std::string candidate = n == 1 ? path : numberedName(path, n);
        // O_EXCL: never an existing file, never through a link, never a FIFO.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            f.fd = fd;
            f.path = candidate;
            return f;
        }
        if (errno != EEXIST) {
            f.status = kStartFailed;
            f.reason = std::strerror(errno);
            return f;
        }
    }
    f.status = kStartFailed;
    f.reason = "Too many files with this name";
    return f;
}

std::string publishFile(const std::string& temp, const std::string& path, std::string& reason) {
    for (int n = 1; n <= kMaxVariants; ++n) {
        const std::string candidate = n == 1 ? path : numberedName(path, n);
        // link() fails on an existing name, so nothing is ever replaced.
        if (::link(temp.c_str(), candidate.c_str()) == 0) {
            ::unlink(temp.c_str());
            return candidate;
        }
        if (errno != EEXIST) {
            reason = std::strerror(errno);
            ::unlink(temp.c_str());
            return {};
        }
    }
    reason = "Too many files with this name";
    ::unlink(temp.c_str());
    return {};
}

} // namespace kestle::capture
