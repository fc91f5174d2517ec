// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestle {

// Quotes a text for headless output: double quotes, with CR, LF, tab, quote
// and backslash escaped as \r \n \t \" \\.
std::string quoteText(std::string_view utf8);

// Reverses the escapes a script line may use in TEXT: \r \n \t \\.
// Any other backslash is kept as it stands.
std::string unescapeScriptText(std::string_view text);
// The TEXT of a script line that types `text` (unescapeScriptText's inverse).
std::string escapeScriptText(std::string_view text);

// Bytes from outside (a file name from a bag, a damaged line) as text that is
// safe to print on a terminal: printable UTF-8 kept, every other byte (control
// characters, escape sequences, invalid UTF-8) written as \xNN; cut to about
// `maxBytes` with "..." after it.
std::string printableText(std::string_view bytes, std::size_t maxBytes = 300);

// A colour 0xRRGGBB as six upper-case hex digits, e.g. "FF0000".
std::string rgbHex(std::uint32_t rgb);
// Six hex digits (either case) as a colour; nullopt for anything else.
std::optional<std::uint32_t> parseRgbHex(std::string_view text);

} // namespace kestle
