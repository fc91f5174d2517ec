// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The QR code of a link (libqrencode, error correction M), as a square of
// modules for the dialog to paint. Pure.
#include "support/result.h"

#include <string_view>
#include <vector>

namespace kestle::remote {

struct QrCode {
    int size = 0;           // modules per side, without the quiet zone
    std::vector<bool> dark; // size * size, row by row
    bool at(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

// Errors for text the code cannot hold (over about 2 KB).
Result<QrCode> qrCode(std::string_view text);

} // namespace kestle::remote
