// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Length and line counts of UTF-8 texts, as the original's 16-bit strings
// counted them (one per character).
#include <cstddef>
#include <string>
#include <string_view>

namespace kestle {

// Number of characters (code points) of a UTF-8 text.
std::size_t utf8Length(std::string_view s);
// Number of CR LF pairs in a text.
std::size_t countCrLf(std::string_view s);
// The text without its last character (as Backspace leaves it); an empty
// text stays empty.
std::string withoutLastCharacter(std::string s);

} // namespace kestle
