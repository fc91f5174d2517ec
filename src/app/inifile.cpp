// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/inifile.h"

#include "support/cp1252.h"
#include "support/textfile.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

// All work is done on the Windows-1252 bytes of the file. The rules are the
// ones the file format was always written with, quirks included: a line with
// "[" anywhere ends a section for the reader, and the writer finds headers
// and keys by searching the whole text for "[name]" and "key=" at line
// starts. A line ends at CR LF for both; a lone CR or LF is part of its line
// (and so of a value), which the writer replaces whole.

namespace kestle {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

Error fileError(std::string_view what, const fs::path& file, const std::string& reason) {
    return Error{std::string(what) + " settings file " + file.string() + ": " + reason};
}

// Creates a missing file empty and gives an existing one back its owner write
// permission. On Windows the file's attributes were reset to "archive" here,
// which clears read-only; owner write is the nearest POSIX equivalent. Hidden
// and system have no counterpart. A permission that cannot be changed (a
// read-only disk) does not stop the reading; a write reports its own error.
Status prepareFile(const fs::path& file) {
    std::error_code ec;
    fs::file_status st = fs::status(file, ec);
    if (ec && st.type() != fs::file_type::not_found)
        return fileError("Cannot access", file, ec.message());
    if (!fs::exists(st)) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd < 0)
            return fileError("Cannot create", file, std::generic_category().message(errno));
        ::close(fd);
        return {};
    }
    if (fs::is_regular_file(st) && (st.permissions() & fs::perms::owner_write) == fs::perms::none)
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
    return {};
}

// One pass of non-overlapping replacements, left to right.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
         pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 13;
}

} // namespace

std::string iniValue(std::string_view text, std::string_view section, std::string_view key) {
    std::string header = "[";
    header += asciiLower(utf8ToCp1252(section));
    header += ']';
    const std::string prefix = asciiLower(utf8ToCp1252(key)) + "=";
    const std::string lower = asciiLower(text);

    bool inside = false;
    size_t pos = 0;
    while (true) {
        const size_t end = lower.find(kCrLf, pos);
        const size_t stop = end == std::string::npos ? lower.size() : end;
        const std::string_view line = std::string_view(lower).substr(pos, stop - pos);
        const bool boundary = line.find('[') != std::string_view::npos;
        if (boundary)
            inside = false;
        if (line == header)
            inside = true;
        if (!boundary && inside && line.starts_with(prefix))
            return cp1252ToUtf8(text.substr(pos + prefix.size(), stop - pos - prefix.size()));
        if (end == std::string::npos)
            break;
        pos = end + kCrLf.size();
    }
    return std::string();
}

std::string iniApply(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value) {
    const std::string sec = utf8ToCp1252(section);
    const std::string keyBytes = utf8ToCp1252(key);
    const std::string keyLine = keyBytes + "=" + utf8ToCp1252(value);
    // A header counts only as a whole line, a key only at a line start: the
    // lines the reader sees.
    const std::string headerPattern = "\r\n[" + asciiLower(sec) + "]\r\n";
    const std::string keyPattern = "\r\n" + asciiLower(keyBytes) + "=";

    // Control codes at the start go now rather than only after the change
    // (where the result is the same): once gone they may leave a header as
    // the first line, and a value written before that would land in a second
    // section that the reader never gets to.
    size_t lead = 0;
    while (lead < text.size() && isTrimmed(text[lead]))
        ++lead;
    text.remove_prefix(lead);
    // The leading CR LF makes the first line look like any other; the trailing
    // "[]" makes sure the last section has an end.
    std::string buf = std::string(kCrLf) + std::string(text) + "[]";
    const std::string lower = asciiLower(buf);
    const size_t h = lower.find(headerPattern);
    buf.resize(buf.size() - 2);

    if (h == std::string::npos) {
        buf += "\r\n\r\n[" + sec + "]\r\n" + keyLine;
    } else {
        const size_t afterHeader = h + headerPattern.size();
        const size_t sectionEnd = lower.find('[', afterHeader);
        const size_t k = lower.find(keyPattern, h);
        if (k == std::string::npos || k > sectionEnd) {
            buf.insert(afterHeader, keyLine + "\r\n");
        } else {
            // The old value runs to the line end the reader stops at; a value
            // cut at a lone CR or LF would leave its rest behind to be read
            // back, and saved again, at every start.
            const size_t start = k + kCrLf.size();
            size_t end = buf.find(kCrLf, start);
            if (end == std::string::npos)
                end = buf.size();
            buf.replace(start, end - start, keyLine);
        }
    }

    buf.erase(0, 1);
    while (buf.find("\r\n\r\n\r\n") != std::string::npos)
        buf = replaceAll(buf, "\r\n\r\n\r\n", "\r\n\r\n");
    // Control codes up to CR go at both ends; blanks stay.
    size_t last = buf.size();
    while (last > 0 && isTrimmed(buf[last - 1]))
        --last;
    buf.resize(last);
    size_t first = 0;
    while (first < buf.size() && isTrimmed(buf[first]))
        ++first;
    buf.erase(0, first);
    buf += kCrLf;
    return buf;
}

Result<std::string> INIload(const fs::path& file) {
    if (Status s = prepareFile(file); !s)
        return Error{s.error()};
    return readFileBytes(file, kMaxSettingsBytes);
}

Result<std::string> INIread(const fs::path& file, std::string_view section, std::string_view key) {
    Result<std::string> bytes = INIload(file);
    if (!bytes)
        return Error{bytes.error()};
    return iniValue(*bytes, section, key);
}

Status INIwriteAll(const fs::path& file, const std::vector<IniEntry>& entries) {
    Result<std::string> bytes = INIload(file);
    if (!bytes)
        return Error{bytes.error()};
    std::string text = std::move(*bytes);
    for (const IniEntry& e : entries)
        text = iniApply(text, e.section, e.key, e.value);
    return writeFileBytesAtomic(file, text);
}

Status INIwrite(const fs::path& file, std::string_view section, std::string_view key,
                std::string_view value) {
    return INIwriteAll(file,
                       {IniEntry{std::string(section), std::string(key), std::string(value)}});
}

} // namespace kestle
