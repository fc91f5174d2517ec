// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells whether anything opened a file of a folder (inotify IN_OPEN) since
// the watch began: a bag's link pointing out of it must never be followed.
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

namespace kestle::test {

class OpenWatch {
  public:
    explicit OpenWatch(const std::filesystem::path& folder)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0)
            ::inotify_add_watch(fd_, folder.c_str(), IN_OPEN);
    }
    ~OpenWatch() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool ready() const { return fd_ >= 0; }

    // The names opened so far ("" for the folder itself).
    std::set<std::string> opened() {
        alignas(inotify_event) char buf[4096];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;)
            for (char* p = buf; p < buf + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                names_.insert(e->len ? std::string(e->name) : std::string());
                p += sizeof(inotify_event) + e->len;
            }
        return names_;
    }

  private:
    int fd_;
    std::set<std::string> names_;
};

} // namespace kestle::test
