// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A gzip file of `total` bytes of `piece` repeated, compressed as it is
// written (a bomb of gigabytes costs no more than its few compressed MB).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kestle::test {

inline void gzipRepeated(const std::filesystem::path& p, const std::string& piece,
                         std::uint64_t total) {
    gzFile out = gzopen(p.c_str(), "wb6");
    ASSERT_NE(out, nullptr);
    std::string chunk;
    while (chunk.size() < (1u << 20))
        chunk += piece;
    for (std::uint64_t left = total; left > 0;) {
        const auto n = static_cast<unsigned>(std::min<std::uint64_t>(left, chunk.size()));
        ASSERT_EQ(gzwrite(out, chunk.data(), n), static_cast<int>(n));
        left -= n;
    }
    ASSERT_EQ(gzclose(out), Z_OK);
}

} // namespace kestle::test
