// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/text.h"

namespace kestle {

std::size_t utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

std::size_t countCrLf(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '\r' && s[i + 1] == '\n')
            ++n;
    }
    return n;
}

std::string withoutLastCharacter(std::string s) {
    std::size_t n = s.empty() ? 0 : s.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    s.resize(n);
    return s;
}

} // namespace kestle
