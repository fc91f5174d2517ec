// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/bag_names.h"

#include <glib.h>

#include <array>
#include <memory>

namespace kestle::evidence {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The byte a %XX escape stands for when `v` encodes it; -1 otherwise.
int escaped(std::string_view s, std::size_t at, BagVersion v) {
    if (at + 2 >= s.size())
        return -1;
    const int hi = hexValue(s[at + 1]), lo = hexValue(s[at + 2]);
    if (hi < 0 || lo < 0)
        return -1;
    const int byte = hi * 16 + lo;
    if (byte == '\n' || byte == '\r' || (byte == '%' && v == BagVersion::V1_0))
        return byte;
    return -1;
}

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};
using GText = std::unique_ptr<gchar, GFreeDeleter>;

} // namespace

const char* versionText(BagVersion v) {
    return v == BagVersion::V1_0 ? "1.0" : "0.97";
}

std::optional<ManifestLineParts> splitManifestLine(std::string_view line) {
    std::size_t gap = 0;
    while (gap < line.size() && !isBlank(line[gap]))
        ++gap;
    if (gap == 0 || gap == line.size())
        return std::nullopt;
    std::size_t start = gap;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    if (start == line.size())
        return std::nullopt;
    ManifestLineParts parts{line.substr(0, gap), line.substr(start)};
    // md5sum's binary mode writes "checksum *name".
    if (start == gap + 1 && line[gap] == ' ' && parts.name.size() > 1 && parts.name[0] == '*') {
        parts.name.remove_prefix(1);
        parts.md5sumStar = true;
    }
    return parts;
}

std::optional<FetchLineParts> splitFetchLine(std::string_view line) {
    std::string_view tokens[2];
    std::size_t at = 0;
    for (std::string_view& t : tokens) {
        const std::size_t from = at;
        while (at < line.size() && !isBlank(line[at]))
            ++at;
        t = line.substr(from, at - from);
        if (t.empty() || at == line.size())
            return std::nullopt;
        while (at < line.size() && isBlank(line[at]))
            ++at;
    }
    if (at == line.size())
        return std::nullopt;
    return FetchLineParts{tokens[0], tokens[1], line.substr(at)};
}

bool isHex(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (hexValue(c) < 0)
            return false;
    return true;
}

bool isAbsoluteUri(std::string_view s) {
    const std::size_t colon = s.find(':');
    if (colon == 0 || colon == std::string_view::npos || colon + 1 == s.size())
        return false;
    if (!g_ascii_isalpha(s[0]))
        return false;
    for (std::size_t i = 1; i < colon; ++i)
        if (!g_ascii_isalnum(s[i]) && s[i] != '+' && s[i] != '-' && s[i] != '.')
            return false;
    return true;
}

std::string decodeListedName(std::string_view raw, BagVersion v, bool* strayPercent) {
    std::string r;
    r.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            r += raw[i];
            continue;
        }
        const int byte = escaped(raw, i, v);
        if (byte >= 0) {
            r += static_cast<char>(byte);
            i += 2;
            continue;
        }
        if (v == BagVersion::V1_0 && strayPercent)
            *strayPercent = true;
        r += '%';
    }
    return r;
}

NameCheck checkListedName(std::string_view raw, BagVersion v, ListKind kind) {
    NameCheck c;
    auto refuse = [&c](std::string why) {
        c.problems.push_back(std::move(why));
        c.usable = false;
        return c;
    };
    if (raw.find('\0') != std::string_view::npos)
        return refuse("holds a NUL byte");
    bool stray = false;
    c.path = decodeListedName(raw, v, &stray);
    if (stray)
        c.problems.push_back("a \"%\" in a name must be written %25 in BagIt 1.0");
    bool dotSlash = false;
    while (c.path.starts_with("./")) {
        c.path.erase(0, 2);
        dotSlash = true;
    }
    if (dotSlash)
        c.warnings.push_back("written with a leading \"./\", which strict readers refuse");
    if (c.path.empty())
        return refuse("an empty name");
    if (c.path.front() == '/')
        return refuse("an absolute path, outside the bag");
    if (c.path.front() == '~')
        return refuse("starts with \"~\" (a home folder, outside the bag)");
    std::size_t from = 0;
    while (true) {
        const std::size_t slash = c.path.find('/', from);
        const std::string_view part = std::string_view(c.path).substr(from, slash - from);
        if (part.empty())
            return refuse("has an empty folder name (\"//\" or a \"/\" at its end)");
        if (part == ".")
            return refuse("has a \".\" folder in it");
        if (part == "..")
            return refuse("goes up a folder (\"..\"), out of its place in the bag");
        if (slash == std::string::npos)
            break;
        from = slash + 1;
    }
    if (c.path.find('\\') != std::string::npos)
        c.warnings.push_back("holds a backslash, which Windows takes for a folder separator");
    if (!g_utf8_validate(c.path.data(), static_cast<gssize>(c.path.size()), nullptr))
        c.problems.push_back("is not valid text in the tag files' encoding");
    const bool inPayload = c.path.starts_with("data/");
    if (kind == ListKind::Tag) {
        if (inPayload)
            return refuse("is a payload file, which a tag manifest must not list");
        if (v == BagVersion::V1_0 && c.path.starts_with("tagmanifest-") &&
            c.path.find('/') == std::string::npos)
            c.problems.push_back("is a tag manifest, which a tag manifest must not list");
    } else if (!inPayload) {
        return refuse("lies outside the payload folder data/");
    }
    return c;
}

bool isUtf8(std::string_view text) {
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

std::optional<std::string> nfcOf(std::string_view utf8) {
    if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr))
        return std::nullopt;
    GText n(g_utf8_normalize(utf8.data(), static_cast<gssize>(utf8.size()), G_NORMALIZE_NFC));
    if (!n)
        return std::nullopt;
    return std::string(n.get());
}

std::optional<std::string> caseKeyOf(std::string_view utf8) {
    auto n = nfcOf(utf8);
    if (!n)
        return std::nullopt;
    GText folded(g_utf8_casefold(n->data(), static_cast<gssize>(n->size())));
    return std::string(folded.get());
}

bool isSystemFile(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    static constexpr std::array<std::string_view, 5> kNames = {
        ".DS_Store", "Thumbs.db", "desktop.ini", "ehthumbs.db", ".directory"};
    for (std::string_view n : kNames)
        if (name == n)
            return true;
    return name.starts_with("._");
}

} // namespace kestle::evidence
