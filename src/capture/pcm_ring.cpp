// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/pcm_ring.h"

#include <algorithm>
#include <cstring>

namespace kestle::capture {

void PcmRing::push(const void* bytes, std::size_t size) {
    const std::size_t cap = buf_.size();
    std::size_t n = size / sizeof(std::int16_t);
    if (cap == 0 || n == 0)
        return;
    const auto* src = static_cast<const unsigned char*>(bytes);
    // Only the newest `cap` samples of a long block can stay.
    if (n > cap) {
        src += (n - cap) * sizeof(std::int16_t);
        n = cap;
    }
    // Bytes, not samples: the block need not be aligned for int16_t.
    std::size_t end = (start_ + count_) % cap;
    for (std::size_t left = n; left > 0;) {
        const std::size_t run = std::min(left, cap - end);
        std::memcpy(buf_.data() + end, src, run * sizeof(std::int16_t));
        src += run * sizeof(std::int16_t);
        left -= run;
        end = (end + run) % cap;
    }
    const std::size_t total = count_ + n;
    if (total > cap)
        start_ = (start_ + total - cap) % cap;
    count_ = std::min(total, cap);
}

std::vector<std::int16_t> PcmRing::samples() const {
    std::vector<std::int16_t> out(count_);
    const std::size_t first = std::min(count_, buf_.size() - start_);
    std::copy_n(buf_.begin() + static_cast<std::ptrdiff_t>(start_), first, out.begin());
    std::copy_n(buf_.begin(), count_ - first, out.begin() + static_cast<std::ptrdiff_t>(first));
    return out;
}

} // namespace kestle::capture
