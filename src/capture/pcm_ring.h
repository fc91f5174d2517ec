// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The last few seconds of 16-bit samples, so that a recording can start
// with what was heard before it was asked for. The oldest samples give way
// to new ones. Not thread-safe: its owner locks.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestle::capture {

class PcmRing {
  public:
    // Room for `capacity` samples; 0 keeps nothing.
    explicit PcmRing(std::size_t capacity) : buf_(capacity) {}

    // Appends the whole samples of `size` bytes of 16-bit native-endian
    // samples (a stray odd byte is dropped).
    void push(const void* bytes, std::size_t size);
    // What it holds, oldest first.
    std::vector<std::int16_t> samples() const;
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return buf_.size(); }
    void clear() { start_ = count_ = 0; }

  private:
    std::vector<std::int16_t> buf_;
    std::size_t start_ = 0, count_ = 0; // oldest sample, how many
};

} // namespace kestle::capture
