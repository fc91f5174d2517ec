// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/http_rules.h"

#include <algorithm>

namespace kestle::remote {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto low = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return low(x) == low(y);
           });
}

} // namespace

std::string cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const auto end = std::min(header.find(';'), header.size());
        const std::string_view pair = trim(header.substr(0, end));
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && trim(pair.substr(0, eq)) == name)
            return std::string(trim(pair.substr(eq + 1)));
        header.remove_prefix(std::min(end + 1, header.size()));
    }
    return {};
}

std::string sessionCookie(std::string_view token, bool tls) {
    std::string c =
        std::string(kCookieName) + "=" + std::string(token) + "; Path=/; HttpOnly; SameSite=Strict";
    return tls ? c + "; Secure" : c;
}

bool sameOrigin(std::string_view origin, std::string_view host, bool tls) {
    const std::string_view scheme = tls ? "https://" : "http://";
    if (host.empty() || origin.size() <= scheme.size() ||
        !sameLetters(origin.substr(0, scheme.size()), scheme))
        return false;
    return sameLetters(origin.substr(scheme.size()), host);
}

std::string deviceName(std::string_view userAgent) {
    const auto open = userAgent.find('(');
    const auto close = open == std::string_view::npos ? open : userAgent.find(')', open);
    std::string name;
    if (close != std::string_view::npos)
        for (char c : userAgent.substr(open + 1, close - open - 1))
            if (c >= 0x20 && c < 0x7F && name.size() < 48)
                name += c;
    const std::string_view t = trim(name);
    return t.empty() ? "device" : std::string(t);
}

bool isPrivateIPv4(std::uint32_t a) {
    const auto b0 = a >> 24, b1 = (a >> 16) & 0xFF;
    return b0 == 10 || b0 == 127 || (b0 == 172 && (b1 & 0xF0) == 16) || (b0 == 192 && b1 == 168) ||
           (b0 == 169 && b1 == 254);
}

bool isPrivateIPv6(const std::array<std::uint8_t, 16>& a) {
    const bool loopback =
        std::all_of(a.begin(), a.end() - 1, [](std::uint8_t b) { return b == 0; }) && a[15] == 1;
    return loopback || (a[0] & 0xFE) == 0xFC || (a[0] == 0xFE && (a[1] & 0xC0) == 0x80);
}

} // namespace kestle::remote
