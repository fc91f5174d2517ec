// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pieces the bag reader's files share (bag_reader.h is the contract):
// the state one reader and its copies share, path checks, the component by
// component open, and the messages. Only for src/evidence/bag_*.cpp.
#include "evidence/bag_reader.h"
#include "support/result.h"
#include "support/unique_fd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence::detail {

inline constexpr std::size_t kChunk = 1 << 20;

struct BagShared {
    std::filesystem::path folder;
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

// "PATH: why", the bag's folder for "".
Error fail(std::string_view rel, const std::string& why);
Error failErrno(std::string_view rel, int err);
Error stoppedError();
EntryKind kindOf(mode_t mode);
EntryInfo infoOf(const struct stat& st);
// Why an entry of this kind is not read; empty for a regular file.
std::string refusal(EntryKind k);
// The components of a path inside the bag; an error for anything else.
Result<std::vector<std::string_view>> components(std::string_view rel);

using kestle::Fd;

// Opens the folder that holds the last component of `rel`, component by
// component. `blocked` is set (and the result is an empty Fd) when a
// component on the way is missing or not a folder.
Result<Fd> openParent(const BagShared& s, const std::vector<std::string_view>& parts,
                      std::string_view rel, EntryInfo& blocked);

// Counts `n` more bytes read; an error past the reader's whole limit.
Status count(BagShared& s, std::uint64_t n, std::string_view path);

} // namespace kestle::evidence::detail
