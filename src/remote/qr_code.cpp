// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/qr_code.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace kestle::remote {

Result<QrCode> qrCode(std::string_view text) {
    const std::string s(text);
    std::unique_ptr<QRcode, decltype(&QRcode_free)> q(
        QRcode_encodeString(s.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!q)
        return Error{"The link is too long for a QR code."};
    QrCode c;
    c.size = q->width;
    c.dark.resize(static_cast<std::size_t>(c.size) * static_cast<std::size_t>(c.size));
    for (std::size_t i = 0; i < c.dark.size(); ++i)
        c.dark[i] = (q->data[i] & 1) != 0; // bit 0: a dark module
    return c;
}

} // namespace kestle::remote
