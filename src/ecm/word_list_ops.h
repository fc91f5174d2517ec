// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pure operations on a word list held as a vector of entries: the Shuffle
// button's reordering and the parsing of a user word list file. Nothing here
// touches the list box; callers put the result there.
#include "support/rng.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::ecm {

// User lists larger than this are refused with a message (millions of lines
// fit below it).
inline constexpr std::uint64_t kMaxUserListBytes = 64u << 20;

// The order in which Shuffle re-appends `count` entries: element i is the old
// position of the entry that goes to position i. Positions 1 to count - 1 come
// in random order, drawn as Int(n * Rnd + 1) with n = count - 1 and redrawn
// while already used; the last element is always 0, so the former first entry
// ends up last. Advances `rnd` by exactly the draws that takes. count 1 gives
// {0} without a draw; count 0 or less gives an empty order.
// The generator has 2^24 values, so with n above 2^24 some positions can
// never be drawn and the redraws would never end: such lists (more than
// kClassicShuffleLimit entries) are shuffled Fisher-Yates from the back,
// with two draws per position, keeping the former first entry last. Up to
// the limit every value is drawn within one period of the generator, so the
// shuffle takes at most 2^24 draws; above it exactly 2 (count - 2).
inline constexpr int kClassicShuffleLimit = (1 << 24) + 1;
std::vector<int> shuffleOrder(int count, Rnd& rnd);

// `list` reordered by shuffleOrder(list.size(), rnd).
std::vector<std::string> shuffled(const std::vector<std::string>& list, Rnd& rnd);

// The entries of a user word list file: one per line, in file order, each the
// line with one space appended (an empty line gives " "). Lines end at CR LF
// or LF; a last line without a line end counts, a final line end adds no
// entry. The bytes are decoded as UTF-8 when they are valid UTF-8 and as
// Windows-1252 otherwise; a leading UTF-8 byte order mark is dropped.
// Returns UTF-8 entries.
std::vector<std::string> parseUserList(std::string_view fileBytes);

} // namespace kestle::ecm
