// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The system's 8-bit code page on the original platform. Texts inside the
// program are UTF-8; files (settings, logs, word lists) are Windows-1252.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestle {

// UTF-8 to Windows-1252; a character the code page lacks, or an invalid
// UTF-8 sequence, becomes "?".
std::string utf8ToCp1252(std::string_view utf8);

// Windows-1252 to UTF-8; every byte decodes (the five unassigned bytes 0x81,
// 0x8D, 0x8F, 0x90, 0x9D map to the C1 control of the same number).
std::string cp1252ToUtf8(std::string_view bytes);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Decodes the UTF-8 character that starts at `pos` and moves `pos` past it.
// An invalid or truncated sequence gives nullopt and moves `pos` by one byte,
// so that every stray byte counts once. Requires pos < bytes.size().
std::optional<char32_t> nextUtf8(std::string_view bytes, std::size_t& pos);

} // namespace kestle
