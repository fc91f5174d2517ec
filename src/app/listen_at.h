// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The remote view's "[ADDRESS:]PORT" option. Pure.
#include "support/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestle::app {

// ADDRESS empty means the machine's private addresses; an IPv6 address is
// written in brackets ("[fe80::1]:8080"). PORT 0 lets the system choose.
struct ListenAt {
    std::string address;
    std::uint16_t port = 0;
};
// Errors say what is wrong with `text`.
Result<ListenAt> parseListenAt(std::string_view text);

} // namespace kestle::app
