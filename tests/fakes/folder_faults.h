// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folders that fail the way a laptop's disk does: read-only, or full. As
// root, permissions do not bind, so real mounts stand in: a read-only bind
// mount of the folder itself, a small tmpfs. Each undoes itself at the end.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kestle::test {

// The folder and what it holds become read-only. As root a read-only bind
// mount over itself; otherwise the write permissions are taken away.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const std::filesystem::path& dir) : dir_(dir) {
        if (::geteuid() == 0) {
            if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0)
                error_ = std::string("bind mount: ") + std::strerror(errno);
            else if (mounted_ = true; ::mount(nullptr, dir.c_str(), nullptr,
                                              MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                error_ = std::string("read-only remount: ") + std::strerror(errno);
        } else {
            for (const auto& e : std::filesystem::directory_iterator(dir))
                ::chmod(e.path().c_str(), 0444);
            ::chmod(dir.c_str(), 0555);
        }
    }
    ~ReadOnlyFolder() {
        if (mounted_)
            ::umount2(dir_.c_str(), MNT_DETACH);
        else if (::geteuid() != 0)
            ::chmod(dir_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    // Empty when the folder is read-only now.
    const std::string& error() const { return error_; }

  private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    std::string error_;
};

// A small tmpfs mounted at `dir`; fill() leaves `freeBytes` of room (in
// whole pages), so that writes run out of space there. Root only: error()
// says why it could not be made.
class FullFileSystem {
  public:
    explicit FullFileSystem(const std::filesystem::path& dir) : dir_(dir) {
        if (::geteuid() != 0) {
            error_ = "mounting a small tmpfs needs root";
            return;
        }
        std::filesystem::create_directories(dir);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0) {
            error_ = std::string("tmpfs mount: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    void fill(std::size_t freeBytes) {
        struct statvfs vs {};
        ::statvfs(dir_.c_str(), &vs);
        const std::size_t room = vs.f_bavail * vs.f_bsize;
        std::ofstream(dir_ / "filler", std::ios::binary)
            << std::string(room > freeBytes ? room - freeBytes : 0, 'f');
        ::statvfs(dir_.c_str(), &vs);
        if (vs.f_bavail * vs.f_bsize > freeBytes + 4096)
            error_ = "the tmpfs did not fill up";
    }
    ~FullFileSystem() {
        if (mounted_)
            ::umount2(dir_.c_str(), MNT_DETACH);
    }
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;
    const std::string& error() const { return error_; }

  private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    std::string error_;
};

} // namespace kestle::test
