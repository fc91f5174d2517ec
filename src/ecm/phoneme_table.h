// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The phoneme table that "Phonemes On" puts into the list box instead of a
// word list.
#include <string>
#include <vector>

namespace kestle::ecm {

// One round of the table: 270 letter groups, spaces and punctuation, UTF-8,
// without trailing spaces unless part of the entry. Lives for the whole program.
const std::vector<std::string>& phonemeTable();

// Appends whole rounds of the table while `list` holds fewer than 2048
// entries; it never clears. From an empty list this gives 8 rounds (2160
// entries), so the entry at position p is table entry p mod 270.
void loadphone(std::vector<std::string>& list);

} // namespace kestle::ecm
