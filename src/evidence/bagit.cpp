// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/bagit.h"

#include "evidence/bag_names.h"
#include "evidence/bag_verify.h"
#include "evidence/digest.h"
#include "evidence/hash_cache.h"
#include "support/textfile.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace kestle::evidence {

namespace fs = std::filesystem;

namespace {

// Payload files, relative to the bag, sorted.
Result<std::vector<std::string>> payloadFiles(const fs::path& bag) {
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(bag / "data", ec), end;
    if (ec)
        return Error{"Cannot list " + (bag / "data").string() + ": " + ec.message()};
    for (; it != end; it.increment(ec)) {
        if (ec)
            return Error{"Cannot list " + (bag / "data").string() + ": " + ec.message()};
        if (it->is_regular_file(ec))
            files.push_back(fs::relative(it->path(), bag).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> tagFiles(const fs::path& bag) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(bag, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && !name.starts_with(".") && !name.starts_with("tagmanifest-"))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

Result<std::vector<ManifestLine>> hashAll(const fs::path& bag,
                                          const std::vector<std::string>& files,
                                          std::uint64_t* octets, HashCache* cache) {
    std::vector<ManifestLine> lines;
    for (const std::string& f : files) {
        auto d = cache ? cache->digest(bag / f) : sha256File(bag / f);
        if (!d)
            return Error{d.error()};
        if (octets)
            *octets += d->size;
        lines.push_back({d->sha256, f});
    }
    return lines;
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    return s.substr(i);
}

} // namespace

std::string encodeManifestPath(const std::string& path) {
    std::string r;
    for (char c : path) {
        if (c == '%')
            r += "%25";
        else if (c == '\n')
            r += "%0A";
        else if (c == '\r')
            r += "%0D";
        else
            r += c;
    }
    return r;
}

std::string decodeManifestPath(const std::string& path) {
    return decodeListedName(path, BagVersion::V1_0);
}

std::string manifestText(const std::vector<ManifestLine>& lines) {
    std::string text;
    for (const ManifestLine& l : lines)
        text += l.sha256 + "  " + encodeManifestPath(l.path) + "\n";
    return text;
}

Result<std::vector<ManifestLine>> parseManifest(const std::string& text) {
    std::vector<ManifestLine> lines;
    int n = 0;
    for (const std::string& raw : splitLines(text)) {
        ++n;
        if (raw.empty())
            continue;
        const std::size_t gap = raw.find_first_of(" \t");
        const std::size_t start =
            gap == std::string::npos ? gap : raw.find_first_not_of(" \t", gap);
        if (gap == 0 || start == std::string::npos)
            return Error{"line " + std::to_string(n) + " is not \"checksum path\""};
        lines.push_back({raw.substr(0, gap), decodeManifestPath(raw.substr(start))});
    }
    return lines;
}

std::string bagInfoText(const BagInfo& info) {
    std::string text;
    for (const auto& [label, value] : info) {
        std::string line = label + ": ";
        std::size_t width = line.size();
        // Folded at blanks so that no line grows much past 79 characters.
        std::size_t i = 0;
        while (i < value.size()) {
            std::size_t end = value.find(' ', i);
            if (end == std::string::npos)
                end = value.size();
            const std::string word = value.substr(i, end - i);
            if (width > 2 && width + word.size() > 79 && i > 0) {
                line += "\n  ";
                width = 2;
            }
            line += word;
            width += word.size();
            if (end < value.size()) {
                line += ' ';
                ++width;
            }
            i = end + 1;
        }
        text += line + "\n";
    }
    return text;
}

BagInfo parseBagInfo(const std::string& text) {
    BagInfo info;
    for (const std::string& line : splitLines(text)) {
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !info.empty()) {
            info.back().second += ' ';
            info.back().second += trimmed(line);
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        info.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return info;
}

Status sealBag(const fs::path& bag, const BagInfo& info, const std::string& baggingDate,
               HashCache* cache) {
    auto files = payloadFiles(bag);
    if (!files)
        return Error{files.error()};
    std::uint64_t octets = 0;
    auto payload = hashAll(bag, *files, &octets, cache);
    if (!payload)
        return Error{payload.error()};
    if (Status s = writeFileBytesAtomic(bag / "manifest-sha256.txt", manifestText(*payload)); !s)
        return s;
    if (Status s = writeFileBytesAtomic(bag / "bagit.txt",
                                        "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");
        !s)
        return s;
    BagInfo all = {{"Bagging-Date", baggingDate},
                   {"Payload-Oxum", std::to_string(octets) + "." + std::to_string(files->size())}};
    all.insert(all.end(), info.begin(), info.end());
    if (Status s = writeFileBytesAtomic(bag / "bag-info.txt", bagInfoText(all)); !s)
        return s;
    auto tags = hashAll(bag, tagFiles(bag), nullptr, nullptr);
    if (!tags)
        return Error{tags.error()};
    return writeFileBytesAtomic(bag / "tagmanifest-sha256.txt", manifestText(*tags));
}

std::vector<std::string> verifyBag(const fs::path& bag, std::shared_ptr<std::atomic<bool>> stop) {
    VerifyOptions options;
    options.stop = std::move(stop);
    Verification v = checkBag(bag, options);
    std::vector<std::string> problems = std::move(v.problems);
    for (std::string& u : v.unchecked)
        problems.push_back("not checked: " + std::move(u));
    if (v.stopped)
        problems.push_back("the check was stopped before its end");
    return problems;
}

} // namespace kestle::evidence
