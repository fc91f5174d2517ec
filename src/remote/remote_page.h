// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page a paired device is served: one HTML document with its style and
// script, asking nothing of any other address. It opens the WebSocket at
// kLivePath on its own origin, draws each readings message it is sent and
// sends "mark NOTE" when the Mark button is pressed.
#include <string_view>

namespace kestle::remote {

inline constexpr std::string_view kLivePath = "/live";

std::string_view remotePage();

} // namespace kestle::remote
