#pragma once
#include <string>
#include <string_view>

namespace kestle {

// Quotes a text for headless output: double quotes, with CR, LF, tab, quote
// and backslash escaped as \r \n \t \" \\.
std::string quoteText(std::string_view utf8);

// Reverses the escapes a script line may use in TEXT: \r \n \t \\.
// Any other backslash is kept as it stands.
std::string unescapeScriptText(std::string_view text);

} // namespace kestle
