#include "support/quote.h"

namespace kestle {

std::string quoteText(std::string_view s) {
    std::string r = "\"";
    for (char c : s) {
        switch (c) {
        case '\r':
            r += "\\r";
            break;
        case '\n':
            r += "\\n";
            break;
        case '\t':
            r += "\\t";
            break;
        case '"':
            r += "\\\"";
            break;
        case '\\':
            r += "\\\\";
            break;
        default:
            r += c;
        }
    }
    return r + "\"";
}

std::string unescapeScriptText(std::string_view s) {
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[i + 1];
            if (n == 'r' || n == 'n' || n == 't' || n == '\\') {
                r += n == 'r' ? '\r' : n == 'n' ? '\n' : n == 't' ? '\t' : '\\';
                ++i;
                continue;
            }
        }
        r += s[i];
    }
    return r;
}

} // namespace kestle
