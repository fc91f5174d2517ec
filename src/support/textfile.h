// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file and appending text access in Windows-1252 with CR LF line ends.
// All functions are synchronous and safe to call from the window thread;
// errors come back as results, never as exceptions. Error texts name the
// file and the system's reason ("Cannot write /x/y: No space left on device").
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestle {

// Raw bytes of a regular file (links followed) of at most `maxBytes` bytes.
// Anything else is refused before a byte is read, so that an endless source
// (/dev/zero, a FIFO, a terminal) can neither block the caller nor fill the
// memory: the file is opened without waiting for a writer, and errors say
// "... is not a regular file" or "... is too large (N bytes, at most M)".
Result<std::string> readFileBytes(const std::filesystem::path& p, std::uint64_t maxBytes);

// Removes what writeFileBytesAtomic leaves beside `p` when its process is
// killed between creating the temporary file and renaming it: files named
// like `p` + ".tmp<pid>-<n>" whose process no longer runs. Files of running
// processes (another instance saving right now) are left alone. Returns how
// many were removed.
int removeStaleTemporaries(const std::filesystem::path& p);

// Writes bytes to a temporary file in the same folder and renames it over
// `p`, so that a crash or a full disk never leaves a truncated file. The data
// reaches the disk (fsync) before the rename; a replaced file keeps its
// permissions. On failure the temporary file is removed and `p` is untouched.
Status writeFileBytesAtomic(const std::filesystem::path& p, std::string_view bytes);

// Splits text at CR LF or LF alone; the line ends are not part of the lines,
// and a final line end does not start an empty last line. A CR that is not
// followed by LF stays part of its line. "a\r\n\r\nb" -> {"a", "", "b"}.
std::vector<std::string> splitLines(std::string_view text);

// A text file opened for appending. Each write encodes UTF-8 text to
// Windows-1252 and is handed to the operating system in one piece before it
// returns. A write reaches the file whole or not at all: when the disk fills
// up part way, the part already written is cut off again, so a log never
// ends in half a line. Not thread-safe.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens (creating if needed) for appending; closes a file already open.
    Status open(const std::filesystem::path& p);
    // Writes `utf8` encoded; `lineEnd` adds CR LF as a line write does.
    Status write(std::string_view utf8, bool lineEnd = true);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

  private:
    int fd_ = -1;
    std::filesystem::path path_;
};

} // namespace kestle
