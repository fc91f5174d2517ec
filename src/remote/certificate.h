// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The remote view's TLS identity: a P-256 key and a self-signed certificate,
// made on first use and kept in one PEM file that only its owner may read.
// The operator compares the fingerprint with what the phone shows.
// Blocking file work (small: one file of a few KiB); any thread.
#include "support/result.h"

#include <filesystem>
#include <string>

namespace kestle::remote {

struct Certificate {
    std::string keyPem, certificatePem;
    // SHA-256 of the certificate (DER), as "AB:CD:...".
    std::string fingerprint;
    bool made = false; // made by this call, not read
};

// Reads `file`, or makes it (and its folder, 0700) when it does not exist.
// Refused, never replaced: a symbolic link, not a regular file, a file of
// another user or one that group or others may read, more than 64 KiB, or
// one whose key and certificate do not belong together.
Result<Certificate> loadOrMakeCertificate(const std::filesystem::path& file);

} // namespace kestle::remote
