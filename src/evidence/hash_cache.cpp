// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/hash_cache.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kestle::evidence {

namespace {

bool identify(const std::filesystem::path& p, struct stat& st) {
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

Result<FileDigest> HashCache::digest(const std::filesystem::path& p) {
    struct stat before {};
    if (!identify(p, before))
        return sha256File(p); // its error says why
    const Identity id{before.st_dev, before.st_ino, before.st_size, before.st_mtim.tv_sec,
                      before.st_mtim.tv_nsec};
    {
        std::lock_guard lock(m_);
        if (auto it = known_.find(id); it != known_.end()) {
            ++hits_;
            return it->second;
        }
    }
    auto d = sha256File(p);
    struct stat after {};
    // Kept only when the file did not change while it was read.
    if (d && identify(p, after) && after.st_size == before.st_size &&
        after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
        after.st_mtim.tv_nsec == before.st_mtim.tv_nsec) {
        std::lock_guard lock(m_);
        known_[id] = *d;
    }
    return d;
}

int HashCache::hits() const {
    std::lock_guard lock(m_);
    return hits_;
}

} // namespace kestle::evidence
