// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The built-in word list that start-up and Restore put into the list box.
#include <string>
#include <vector>

namespace kestle::ecm {

// The 2050 entries in list order, UTF-8. Entries keep their trailing space
// (word selection joins them without separators); a few punctuation entries
// and "no" and "Lisa" have none. The vector lives for the whole program.
const std::vector<std::string>& defaultWordList();

} // namespace kestle::ecm
