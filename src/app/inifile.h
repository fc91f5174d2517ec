// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file. The matching and rewriting rules are part of the file
// format that existing Kestle.ini files were written in, so they are kept
// as they are (see inifile.cpp). Reader and writer agree on what a line is:
// the writer never leaves a value behind that the reader would read back
// differently, so saving unchanged values never grows the file.
//
// Strings are UTF-8; the file holds Windows-1252 bytes with CR LF line ends.
// Section and key names match without regard to ASCII letter case.
// Synchronous, for the window thread; no locking against other programs.
// Only a regular file of at most kMaxSettingsBytes is read, so a settings
// file that is a FIFO or a link to a device neither blocks nor fills memory.
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestle {

// About fifty short lines are usual; a megabyte is something else.
inline constexpr std::uint64_t kMaxSettingsBytes = 1 << 20;

struct IniEntry {
    std::string section, key, value;
};

// The value of `key` in `section` of a settings text (the file's bytes):
// the first key line of the first matching section that holds it; "" when
// there is none.
std::string iniValue(std::string_view fileBytes, std::string_view section, std::string_view key);

// The file's bytes after storing one value: a new section goes to the end of
// the text, a new key to the top of its section, an existing key is
// rewritten in place in the caller's spelling. Blank lines at the ends and
// runs of blank lines are normalised; the text always ends with one CR LF.
std::string iniApply(std::string_view fileBytes, std::string_view section, std::string_view key,
                     std::string_view value);

// The whole file once. A missing file is created empty; an existing file
// that its owner may not write is made owner-writable where possible (the
// POSIX counterpart of clearing read-only). Errors name the file and reason.
Result<std::string> INIload(const std::filesystem::path& file);

// Reads one value (INIload, then iniValue).
Result<std::string> INIread(const std::filesystem::path& file, std::string_view section,
                            std::string_view key);

// Stores the values in order, giving the text that as many single writes
// would give, and replaces the file once and atomically: on failure, or when
// the process dies meanwhile, the file holds its old text.
Status INIwriteAll(const std::filesystem::path& file, const std::vector<IniEntry>& entries);

// Stores one value (INIwriteAll with one entry).
Status INIwrite(const std::filesystem::path& file, std::string_view section, std::string_view key,
                std::string_view value);

} // namespace kestle
