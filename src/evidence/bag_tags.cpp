// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/bag_tags.h"

#include "support/quote.h"

#include <glib.h>

#include <memory>

namespace kestle::evidence {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameLabel(std::string_view a, std::string_view b) {
    return a.size() == b.size() && g_ascii_strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool isVersionNumber(std::string_view v) {
    const std::size_t dot = v.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot + 1 == v.size())
        return false;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (i != dot && !g_ascii_isdigit(v[i]))
            return false;
    return true;
}

std::string inQuotes(std::string_view s) {
    return "\"" + printableText(s, 80) + "\"";
}

// Label and value of a "Label: value" line, blanks around both taken off.
std::optional<std::pair<std::string_view, std::string_view>> looseField(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    return std::pair{trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1))};
}

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};

} // namespace

std::vector<std::string_view> tagLines(std::string_view text, bool* endsWithLineEnd) {
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    bool ended = true;
    while (from < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(from));
            ended = false;
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    if (endsWithLineEnd)
        *endsWithLineEnd = ended;
    return lines;
}

Declaration parseDeclaration(std::string_view bytes) {
    Declaration d;
    auto problem = [&d](std::string s) { d.problems.push_back("bagit.txt: " + std::move(s)); };
    if (bytes.starts_with(kBom)) {
        problem("begins with a byte-order mark, which it must not");
        bytes.remove_prefix(kBom.size());
    }
    if (!g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        problem("is not UTF-8 text");
    bool ended = true;
    std::vector<std::string_view> lines = tagLines(bytes, &ended);
    while (!lines.empty() && trimmed(lines.back()).empty())
        lines.pop_back();
    if (lines.size() != 2)
        problem("must hold exactly two lines; it holds " + std::to_string(lines.size()));
    if (lines.empty())
        return d;

    const auto version = looseField(lines[0]);
    if (!version || !sameLabel(version->first, "BagIt-Version")) {
        problem("line 1 must be \"BagIt-Version: M.N\"; it is " + inQuotes(lines[0]));
        return d;
    }
    d.version = std::string(version->second);
    d.wellFormed = isVersionNumber(d.version);
    if (!d.wellFormed) {
        problem("the version " + inQuotes(d.version) + " is not of the form M.N");
        return d;
    }
    if (d.version == "1.0")
        d.known = BagVersion::V1_0;
    else if (d.version == "0.97")
        d.known = BagVersion::V0_97;
    const bool strict = d.known == BagVersion::V1_0;
    if (strict && lines[0] != "BagIt-Version: 1.0")
        problem("line 1 must read exactly \"BagIt-Version: 1.0\" (one blank after the colon, "
                "none before it or at the end); it is " +
                inQuotes(lines[0]));
    else if (version->first != "BagIt-Version")
        d.warnings.push_back("bagit.txt: the label is written " + inQuotes(version->first) +
                             ", not \"BagIt-Version\"");

    const auto encoding = lines.size() > 1 ? looseField(lines[1]) : std::nullopt;
    if (!encoding || !sameLabel(encoding->first, "Tag-File-Character-Encoding") ||
        encoding->second.empty()) {
        problem("line 2 must be \"Tag-File-Character-Encoding: ENCODING\"" +
                (lines.size() > 1 ? "; it is " + inQuotes(lines[1]) : std::string()));
        return d;
    }
    d.encoding = std::string(encoding->second);
    if (strict && lines[1] != "Tag-File-Character-Encoding: " + d.encoding)
        problem("line 2 must read exactly \"Tag-File-Character-Encoding: " +
                printableText(d.encoding, 40) + "\"; it is " + inQuotes(lines[1]));
    if (strict && !ended)
        d.warnings.push_back("bagit.txt: its last line has no line end");
    return d;
}

bool isUtf8Encoding(std::string_view encoding) {
    return sameLabel(encoding, "UTF-8") || sameLabel(encoding, "UTF8");
}

bool knownEncoding(const std::string& encoding) {
    GIConv cd = g_iconv_open("UTF-8", encoding.c_str());
    if (cd == reinterpret_cast<GIConv>(-1))
        return false;
    g_iconv_close(cd);
    return true;
}

Result<std::string> tagTextAsUtf8(std::string_view bytes, const std::string& encoding) {
    if (isUtf8Encoding(encoding)) {
        if (!g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
            return Error{"is not UTF-8 text, the encoding bagit.txt declares"};
        return std::string(bytes);
    }
    gsize written = 0;
    GError* err = nullptr;
    std::unique_ptr<gchar, GFreeDeleter> out(g_convert(bytes.data(),
                                                       static_cast<gssize>(bytes.size()), "UTF-8",
                                                       encoding.c_str(), nullptr, &written, &err));
    if (!out) {
        const std::string why = err ? err->message : "cannot be converted";
        if (err)
            g_error_free(err);
        return Error{"is not text in " + printableText(encoding, 40) +
                     ", the encoding bagit.txt "
                     "declares (" +
                     why + ")"};
    }
    std::string text(out.get(), written);
    // UTF-16 and UTF-32 keep their byte-order mark as U+FEFF.
    if (text.starts_with(kBom))
        text.erase(0, kBom.size());
    return text;
}

BagInfoCheck checkBagInfo(std::string_view utf8, BagVersion v) {
    BagInfoCheck c;
    const bool strict = v == BagVersion::V1_0;
    int n = 0;
    for (std::string_view line : tagLines(utf8)) {
        ++n;
        const std::string at = "bag-info.txt, line " + std::to_string(n) + ": ";
        if (trimmed(line).empty()) {
            c.warnings.push_back(at + "empty");
            continue;
        }
        if (isBlank(line.front())) {
            if (c.info.empty()) {
                c.problems.push_back(at + "continues a value, but none comes before it");
                continue;
            }
            c.info.back().second += ' ';
            c.info.back().second += trimmed(line);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            c.problems.push_back(at + "is not \"Label: value\": " + inQuotes(line));
            continue;
        }
        std::string_view label = line.substr(0, colon), value = line.substr(colon + 1);
        if (strict) {
            if (label.empty() || trimmed(label) != label)
                c.problems.push_back(at + "the label " + inQuotes(label) +
                                     " must not be empty, nor start or end with a blank");
            if (!value.empty() && !isBlank(value.front()))
                c.problems.push_back(at + "one blank must follow the colon");
            else if (!value.empty())
                value.remove_prefix(1);
            if (value.empty())
                c.warnings.push_back(at + "the label " + inQuotes(label) + " has no value");
        }
        c.info.emplace_back(std::string(trimmed(label)),
                            std::string(strict ? value : trimmed(value)));
    }
    return c;
}

std::vector<std::string> infoValues(const BagInfo& info, std::string_view label) {
    std::vector<std::string> values;
    for (const auto& [k, v] : info)
        if (sameLabel(k, label))
            values.push_back(v);
    return values;
}

} // namespace kestle::evidence
