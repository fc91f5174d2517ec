// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/listen_at.h"

#include <charconv>

namespace kestle::app {

Result<ListenAt> parseListenAt(std::string_view text) {
    ListenAt s;
    std::string_view port = text;
    constexpr const char* brackets = "an IPv6 address goes in brackets: [ADDRESS]:PORT";
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string_view::npos)
            return Error{brackets};
        s.address = std::string(text.substr(1, close - 1));
        port = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        s.address = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
        if (s.address.find(':') != std::string::npos)
            return Error{brackets};
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535)
        return Error{"expected [ADDRESS:]PORT, PORT from 0 to 65535"};
    s.port = static_cast<std::uint16_t>(value);
    return s;
}

} // namespace kestle::app
