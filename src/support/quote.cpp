// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/quote.h"

#include <cstdio>
#include <glib.h>

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

std::string escapeScriptText(std::string_view s) {
    std::string r;
    for (char c : s) {
        if (c == '\r')
            r += "\\r";
        else if (c == '\n')
            r += "\\n";
        else if (c == '\t')
            r += "\\t";
        else if (c == '\\')
            r += "\\\\";
        else
            r += c;
    }
    return r;
}

std::string rgbHex(std::uint32_t rgb) {
    static const char* digits = "0123456789ABCDEF";
    std::string r(6, '0');
    for (int i = 5; i >= 0; --i, rgb >>= 4)
        r[static_cast<std::size_t>(i)] = digits[rgb & 15];
    return r;
}

std::optional<std::uint32_t> parseRgbHex(std::string_view t) {
    if (t.size() != 6)
        return std::nullopt;
    std::uint32_t v = 0;
    for (char c : t) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (d < 0)
            return std::nullopt;
        v = v << 4 | static_cast<std::uint32_t>(d);
    }
    return v;
}

std::string printableText(std::string_view bytes, std::size_t maxBytes) {
    std::string r;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        if (r.size() >= maxBytes) {
            r += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c < 0x7F) {
            r += *p++;
            continue;
        }
        if (c >= 0x80) {
            const gunichar u = g_utf8_get_char_validated(p, end - p);
            // Format characters (a right-to-left override) are not printable.
            if (u < 0x110000 && g_unichar_isprint(u)) {
                const char* next = g_utf8_next_char(p);
                r.append(p, next);
                p = next;
                continue;
            }
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        r += hex;
        ++p;
    }
    return r;
}

} // namespace kestle
