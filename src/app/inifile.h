#pragma once
// The settings file: one value per call, no cache. Every read opens and scans
// the file from its start; every write reads, rebuilds and replaces the whole
// file. The matching and rewriting rules are part of the file format that
// existing Kestle.ini files were written in, so they are kept as they are
// (see inifile.cpp).
//
// Strings are UTF-8; the file holds Windows-1252 bytes with CR LF line ends.
// Section and key names match without regard to ASCII letter case.
// Synchronous, for the window thread; no locking against other programs.
#include "support/result.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kestle {

// Reads one value. A missing file is created empty; a missing section or key
// gives "". Before reading, an existing file that its owner may not write is
// made owner-writable (the POSIX counterpart of clearing read-only).
// Errors (file cannot be created, made writable or read) name the file.
Result<std::string> INIread(const std::filesystem::path& file, std::string_view section,
                            std::string_view key);

// Stores one value and rewrites the whole file. A new section goes to the end
// of the file, a new key to the top of its section, an existing key is
// rewritten in place in the caller's spelling. Blank lines at the ends and
// runs of blank lines are normalised; the file always ends with one CR LF.
// The new text replaces the file atomically: on failure the old file is left
// as it was. Errors name the file and the reason.
Status INIwrite(const std::filesystem::path& file, std::string_view section, std::string_view key,
                std::string_view value);

} // namespace kestle
