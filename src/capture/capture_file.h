// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture files are made new, never opened over an existing file: an
// existing name gets " (2)", " (3)" ... before its extension.
#include <string>

namespace kestle::capture {

struct NewFile {
    int fd = -1;        // open for writing; the caller closes it
    std::string path;   // where it was made
    int status = 0;     // kStarted, or kStartFailed / kFileNotFound (Start's status)
    std::string reason; // why it could not be made
    bool ok() const { return fd >= 0; }
};

// Makes `path` (or the first free variant of it) as an empty file. An empty
// name or a missing folder gives kFileNotFound; anything else that fails
// (no permission, a full disk, a name that is a folder) kStartFailed.
NewFile createCaptureFile(const std::string& path);

// The variant of `path` with number `n` (2, 3, ...): "a/b.wav" -> "a/b (2).wav".
std::string numberedName(const std::string& path, int n);

// Gives the finished file `temp` its final name `path` (or the first free
// variant) without ever replacing a file; `temp` is gone afterwards. Returns
// the name it got, or an empty text with `reason` set.
std::string publishFile(const std::string& temp, const std::string& path, std::string& reason);

} // namespace kestle::capture
