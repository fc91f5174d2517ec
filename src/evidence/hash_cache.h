// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Digests of files kept by the file's identity (device, inode, size and
// modification time), so that a capture hashed once, while the session
// still runs, is not read again when the bag is sealed. A hard link shares
// its file's identity. Any thread.
#include "evidence/digest.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <tuple>

namespace kestle::evidence {

class HashCache {
  public:
    // The cached digest of an unchanged file, else a fresh one (kept).
    Result<FileDigest> digest(const std::filesystem::path& p);
    // How many digests were served from the cache.
    int hits() const;

  private:
    using Identity = std::tuple<unsigned long, unsigned long, long long, long long, long>;
    mutable std::mutex m_;
    std::map<Identity, FileDigest> known_;
    int hits_ = 0;
};

} // namespace kestle::evidence
