// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The remote view's rules about what a request carries: its session cookie,
// whether a WebSocket's Origin is the page's own, the name a device is shown
// under and which addresses are private. Pure.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestle::remote {

// The session cookie's name.
inline constexpr std::string_view kCookieName = "kestle_session";

// The value of cookie `name` in a Cookie header ("a=1; b=2"); empty when
// it is not there.
std::string cookieValue(std::string_view header, std::string_view name);

// The Set-Cookie header value that hands a device its token: HttpOnly,
// SameSite=Strict, the whole site; Secure over TLS.
std::string sessionCookie(std::string_view token, bool tls);

// True when `origin` (a WebSocket's Origin header) names the same scheme,
// host and port as the request's Host header: only the page itself may
// open the live connection.
bool sameOrigin(std::string_view origin, std::string_view host, bool tls);

// A short name for a paired device from its User-Agent: the platform in its
// first parentheses ("Linux; Android 14; Pixel 8"), printable ASCII only, at
// most 48 bytes; "device" when there is none.
std::string deviceName(std::string_view userAgent);

// Private-network addresses: IPv4 10/8, 172.16/12, 192.168/16, 169.254/16
// (link-local) and 127/8 (this machine); IPv6 fc00::/7, fe80::/10 and ::1.
bool isPrivateIPv4(std::uint32_t address);
bool isPrivateIPv6(const std::array<std::uint8_t, 16>& address);

} // namespace kestle::remote
