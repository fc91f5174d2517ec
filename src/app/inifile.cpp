#include "app/inifile.h"

#include "support/cp1252.h"
#include "support/textfile.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

// All work is done on the Windows-1252 bytes of the file. The rules are the
// ones the file format was always written with, quirks included: a line with
// "[" anywhere ends a section for the reader, LF alone is not a line end, and
// the writer finds headers and keys by searching the whole text for CR LF
// "[name]" CR and LF "key=".

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
// and system have no counterpart.
Status prepareFile(const fs::path& file) {
    std::error_code ec;
    fs::file_status st = fs::status(file, ec);
    if (ec && st.type() != fs::file_type::not_found)
        return fileError("Cannot access", file, ec.message());
    if (!fs::exists(st)) {
        std::FILE* f = std::fopen(file.c_str(), "ab");
        if (f == nullptr)
            return fileError("Cannot create", file, std::generic_category().message(errno));
        std::fclose(f);
        st = fs::status(file, ec);
        if (ec)
            return fileError("Cannot access", file, ec.message());
    }
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) {
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
        if (ec)
            return fileError("Cannot make writable", file, ec.message());
    }
    return {};
}

Result<std::string> prepareAndRead(const fs::path& file) {
    if (Status s = prepareFile(file); !s)
        return Error{s.error()};
    return readFileBytes(file);
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

Result<std::string> INIread(const fs::path& file, std::string_view section, std::string_view key) {
    std::string header = "[";
    header += asciiLower(utf8ToCp1252(section));
    header += ']';
    const std::string prefix = asciiLower(utf8ToCp1252(key)) + "=";

    Result<std::string> bytes = prepareAndRead(file);
    if (!bytes)
        return Error{bytes.error()};
    const std::string_view text = *bytes;
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

Status INIwrite(const fs::path& file, std::string_view section, std::string_view key,
                std::string_view value) {
    const std::string sec = utf8ToCp1252(section);
    const std::string keyBytes = utf8ToCp1252(key);
    const std::string keyLine = keyBytes + "=" + utf8ToCp1252(value);
    // A header counts only with a line end right after "]", a key only at a
    // line start.
    std::string headerPattern = "\r\n[";
    headerPattern += asciiLower(sec);
    headerPattern += "]\r";
    std::string keyPattern = "\n";
    keyPattern += asciiLower(keyBytes);
    keyPattern += '=';

    Result<std::string> bytes = prepareAndRead(file);
    if (!bytes)
        return Error{bytes.error()};

    // The leading CR LF makes the first line look like any other; the trailing
    // "[]" makes sure the last section has an end.
    std::string buf = std::string(kCrLf) + *bytes + "[]";
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
            // New key on the first line of the section. A header line ended by
            // a lone CR has no LF to step over.
            size_t at = afterHeader;
            if (at < buf.size() && buf[at] == '\n')
                ++at;
            buf.insert(at, keyLine + "\r\n");
        } else {
            // The old value ends at the line end. Stopping at a lone LF as well
            // keeps the lines after it in a file with mixed line ends, which a
            // stop at the next CR would delete.
            const size_t start = k + 1;
            size_t end = buf.find_first_of(kCrLf, start);
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

    return writeFileBytesAtomic(file, buf);
}

} // namespace kestle
