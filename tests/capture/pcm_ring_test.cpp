// SPDX-License-Identifier: GPL-3.0-or-later
// The ring of the sound before a recording: what it gives back is always
// the newest samples in the order they came.
#include "capture/pcm_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

namespace kestle::capture::test {
namespace {

// Samples numbered on from `next`, so that order and losses show.
std::vector<std::int16_t> numbered(std::int16_t& next, std::size_t n) {
    std::vector<std::int16_t> v(n);
    for (auto& s : v)
        s = next++;
    return v;
}

TEST(PcmRing, KeepsTheNewestSamplesInOrderWhateverTheBlockSizes) {
    constexpr std::size_t kCap = 100;
    PcmRing ring(kCap);
    std::int16_t next = 0;
    // Short and long blocks, blocks that end on the wrap and that outgrow it.
    for (std::size_t n : {0, 1, 37, 62, 99, 100, 101, 250, 3, 97, 100, 7}) {
        const auto block = numbered(next, n);
        ring.push(block.data(), block.size() * 2);
        const std::size_t held = std::min<std::size_t>(next, kCap);
        std::vector<std::int16_t> want(held);
        std::iota(want.begin(), want.end(), static_cast<std::int16_t>(next - held));
        ASSERT_EQ(ring.samples(), want) << "after a block of " << n;
        ASSERT_EQ(ring.size(), held);
    }
    ring.clear();
    EXPECT_TRUE(ring.samples().empty());
    const auto block = numbered(next, 5);
    ring.push(block.data(), 10);
    EXPECT_EQ(ring.samples(), block);
}

TEST(PcmRing, TakesUnalignedBlocksAndDropsAStrayByte) {
    PcmRing ring(4);
    const std::int16_t values[] = {-2, 300, -32768, 32767, 5};
    std::vector<unsigned char> bytes(1 + sizeof values);
    std::memcpy(bytes.data() + 1, values, sizeof values);
    ring.push(bytes.data() + 1, sizeof values - 1); // the last sample cut in half
    EXPECT_EQ(ring.samples(), (std::vector<std::int16_t>{-2, 300, -32768, 32767}));

    PcmRing none(0);
    none.push(values, sizeof values);
    EXPECT_TRUE(none.samples().empty());
}

} // namespace
} // namespace kestle::capture::test
