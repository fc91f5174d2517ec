// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three scope traces, kept from one burst to the next.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kestle::scope {

// Number of trace slots; a burst writes indices 1 to 120.
inline constexpr std::size_t kTraceSize = 121;

// Trace levels in twips above the zero line (y = 2000 - level).
// Index 0 is never written by a burst and stays 0, so every drawn trace
// starts from the zero line. Owned by the main window; single-threaded.
struct ScopeTraces {
    std::array<std::int16_t, kTraceSize> scopeab{}; // (A + B) x 2000 / 2048
    std::array<std::int16_t, kTraceSize> scopea{};  // A x 2000 / 1024
    std::array<std::int16_t, kTraceSize> scopeb{};  // B x 2000 / 1024
};

} // namespace kestle::scope
