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

} // namespace kestle
