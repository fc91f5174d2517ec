// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/bag_verify.h"

#include "evidence/bag_tags.h"
#include "evidence/bag_verifier.h"

#include <algorithm>

namespace kestle::evidence {

int Verification::exitStatus() const {
    if (!problems.empty())
        return 1;
    return unchecked.empty() && !stopped ? 0 : 2;
}

namespace detail {

namespace {

constexpr std::uint64_t kMaxDeclarationBytes = 64 << 10;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string lowered(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// Pairs of `names` that differ only in case (and not in normalisation):
// their case keys sorted by hash, so that no second copy of every name is
// kept.
std::vector<std::pair<std::string_view, std::string_view>>
caseTwins(const std::vector<std::string_view>& names) {
    std::vector<std::pair<std::size_t, std::size_t>> keyed; // hash of the key, name
    for (std::size_t i = 0; i < names.size(); ++i)
        if (auto k = caseKeyOf(names[i]))
            keyed.emplace_back(std::hash<std::string>{}(*k), i);
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::pair<std::string_view, std::string_view>> twins;
    for (std::size_t i = 1; i < keyed.size(); ++i) {
        if (keyed[i].first != keyed[i - 1].first)
            continue;
        const std::string_view a = names[keyed[i - 1].second], b = names[keyed[i].second];
        if (caseKeyOf(a) == caseKeyOf(b) && nfcOf(a) != nfcOf(b))
            twins.emplace_back(a, b);
    }
    return twins;
}

// "manifest-sha256.txt" -> "sha256" with `prefix` "manifest-".
std::optional<std::string> algorithmOfName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || !name.ends_with(".txt"))
        return std::nullopt;
    return std::string(name.substr(prefix.size(), name.size() - prefix.size() - 4));
}

bool isNormalisedAlgorithm(std::string_view a) {
    if (a.empty())
        return false;
    for (char c : a)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

} // namespace

Verification Verifier::run() {
    if (declaration() && topLevel()) {
        payloadFolder();
        for (Manifest& m : manifests_)
            readManifest(m);
        if (!stopped())
            fetchFile();
        if (!stopped())
            completeness();
        if (!stopped())
            bagInfo();
        if (!stopped())
            checksums();
    }
    if (omitted_ > 0)
        out_.problems.push_back("... and " + std::to_string(omitted_) +
                                " more problems not listed");
    out_.stopped = out_.stopped || r_.stopped();
    return std::move(out_);
}

// --- 2.1.1 the bag declaration ---
bool Verifier::declaration() {
    auto info = r_.inspect("bagit.txt");
    if (!info) {
        failed(info.error());
        return false;
    }
    if (info->kind == EntryKind::Missing) {
        problem("bagit.txt: missing; every bag declares its version in it");
        return false;
    }
    if (info->kind != EntryKind::Regular) {
        problem(std::string("bagit.txt: ") + entryKindText(info->kind) + ", not a regular file");
        return false;
    }
    auto bytes = r_.readAll("bagit.txt", kMaxDeclarationBytes);
    if (!bytes) {
        if (info->size > kMaxDeclarationBytes)
            problem(bytes.error() + "; it is two short lines");
        else
            failed(bytes.error());
        return false;
    }
    Declaration d = parseDeclaration(*bytes);
    out_.version = d.version;
    for (std::string& p : d.problems)
        problem(std::move(p));
    for (std::string& w : d.warnings)
        warn(std::move(w));
    if (!d.wellFormed)
        return false;
    if (!d.known) {
        out_.unchecked.push_back("bagit.txt: BagIt version " + shown(d.version) +
                                 ": this program checks bags of versions 1.0 and 0.97 only");
        return false;
    }
    v_ = *d.known;
    encoding_ = d.encoding.empty() ? "UTF-8" : d.encoding;
    utf8_ = isUtf8Encoding(encoding_);
    if (!knownEncoding(encoding_)) {
        out_.unchecked.push_back("bagit.txt: the tag files' encoding " + shown(encoding_) +
                                 " is not one this system can read");
        return false;
    }
    if (!utf8_ && v_ == BagVersion::V1_0)
        warn("bagit.txt: the tag files are in " + shown(encoding_) +
             "; UTF-8 is the encoding recommended");
    return true;
}

// --- 2 the tag files in the bag's folder ---
bool Verifier::topLevel() {
    auto entries = r_.list("");
    if (!entries) {
        failed(entries.error());
        return false;
    }
    for (const DirEntry& e : *entries) {
        top_[e.name] = e.info;
        if (e.info.kind != EntryKind::Regular && e.info.kind != EntryKind::Directory)
            warn(shown(e.name) + ": " + entryKindText(e.info.kind) +
                 " in the bag's folder; it is not read");
        bool tag = false;
        auto algorithm = algorithmOfName(e.name, "manifest-");
        if (!algorithm) {
            algorithm = algorithmOfName(e.name, "tagmanifest-");
            tag = true;
        }
        if (!algorithm)
            continue;
        if (!isNormalisedAlgorithm(*algorithm)) {
            warn(shown(e.name) + ": not read as a manifest: an algorithm's name in it must be "
                                 "lower-case letters and digits");
            continue;
        }
        if (e.info.kind != EntryKind::Regular) {
            problem(shown(e.name) + ": " + entryKindText(e.info.kind) + ", not a regular file");
            continue;
        }
        Manifest m;
        m.name = e.name;
        m.tag = tag;
        m.algorithmName = *algorithm;
        m.algorithm = digestAlgorithm(*algorithm);
        if (!m.algorithm)
            out_.unchecked.push_back(shown(m.name) + ": the algorithm " + shown(*algorithm) +
                                     " is not one this program knows (" + digestNames() +
                                     "); its checksums are not checked");
        else if (!tag)
            out_.algorithms.push_back(*algorithm);
        manifests_.push_back(std::move(m));
    }
    // Payload manifests first: tag manifests are checked against them.
    std::stable_partition(manifests_.begin(), manifests_.end(),
                          [](const Manifest& m) { return !m.tag; });
    if (std::none_of(manifests_.begin(), manifests_.end(),
                     [](const Manifest& m) { return !m.tag; }))
        problem("no payload manifest (manifest-ALGORITHM.txt): a bag has at least one");
    return true;
}

// --- 2.1.2 the payload folder, walked without following anything ---
void Verifier::payloadFolder() {
    auto data = r_.inspect("data");
    if (!data) {
        failed(data.error());
        return;
    }
    if (data->kind != EntryKind::Directory) {
        problem(data->kind == EntryKind::Missing
                    ? "data/: missing; a bag's payload is in the folder data/"
                    : std::string("data: ") + entryKindText(data->kind) +
                          ", not the payload folder" +
                          (data->kind == EntryKind::Symlink ? " (links are not followed)" : ""));
        return;
    }
    Status walked = r_.walk("data", [this](const std::string& path, const EntryInfo& info) {
        disk_[path] = {info.kind, info.size, info.device, info.inode};
        if (info.kind == EntryKind::Regular) {
            ++out_.payloadFiles;
            out_.payloadBytes += info.size;
            if (isSystemFile(path))
                warn(shown(path) + ": a file an operating system leaves in folders, "
                                   "probably not meant to be in the payload");
        } else if (info.kind == EntryKind::Symlink) {
            problem(shown(path) + ": a symbolic link; a payload holds regular files only, "
                                  "and links are never followed");
        } else if (info.kind != EntryKind::Directory) {
            problem(shown(path) + ": not a regular file (" + entryKindText(info.kind) + ")");
        }
        return Status{};
    });
    if (!walked)
        failed(walked.error());
    similarNames();
}

// Payload files whose names differ only in normalisation or in case.
void Verifier::similarNames() {
    std::vector<std::string_view> names;
    for (const auto& [path, info] : disk_) {
        if (info.kind == EntryKind::Directory)
            continue;
        names.push_back(path);
        if (auto n = nfcOf(path); n && *n != path) {
            if (disk_.contains(*n))
                warn(shown(path) + " and " + shown(*n) +
                     ": names that differ only in Unicode normalisation");
            else if (auto [it, fresh] = byNfc_.emplace(*n, path); !fresh)
                warn(shown(path) + " and " + shown(it->second) +
                     ": names that differ only in Unicode normalisation");
        }
    }
    for (const auto& [a, b] : caseTwins(names))
        warn(shown(a) + " and " + shown(b) +
             ": names that differ only in case, one file where case does not count");
}

// --- lines of a tag file, as UTF-8 ---
// Calls `line` for each; false when the file could not be read whole.
bool Verifier::tagFileLines(const std::string& name, std::uint64_t maxBytes,
                            const std::function<void(std::uint64_t, std::string_view)>& line) {
    const auto size = top_.contains(name) ? top_[name].size : 0;
    if (size > maxBytes) {
        problem(shown(name) + ": larger than " + bytesText(maxBytes) + "; it is not read");
        return false;
    }
    auto bom = [&](std::string_view& first) {
        if (!first.starts_with(kBom))
            return;
        first.remove_prefix(kBom.size());
        if (v_ == BagVersion::V1_0)
            problem(shown(name) + ": begins with a byte-order mark, which UTF-8 tag files "
                                  "must not");
        else
            warn(shown(name) + ": begins with a byte-order mark");
    };
    if (utf8_) {
        auto lines = r_.lines(name, true);
        if (!lines) {
            failed(lines.error());
            return false;
        }
        std::string_view text;
        while (true) {
            auto more = lines->next(text);
            if (!more) {
                if (more.error().find("longer than") != std::string::npos)
                    problem(more.error());
                else
                    failed(more.error());
                return false;
            }
            if (!*more)
                return true;
            if (lines->number() == 1)
                bom(text);
            if (!isUtf8(text)) {
                problem(shown(name) + ", line " + std::to_string(lines->number()) +
                        ": not UTF-8 text, the encoding bagit.txt declares");
                continue;
            }
            line(lines->number(), text);
        }
    }
    auto bytes = r_.readAll(name, maxBytes);
    if (!bytes) {
        failed(bytes.error());
        return false;
    }
    auto text = tagTextAsUtf8(*bytes, encoding_);
    if (!text) {
        problem(shown(name) + ": " + text.error());
        return false;
    }
    std::uint64_t n = 0;
    for (std::string_view l : tagLines(*text))
        line(++n, l);
    return true;
}

// --- 2.1.3 and 2.2.1: one manifest's lines ---
void Verifier::readManifest(Manifest& m) {
    const BagVersion v = v_;
    const ListKind kind = m.tag ? ListKind::Tag : ListKind::Payload;
    const std::size_t hexLength = m.algorithm ? digestHexLength(*m.algorithm) : 0;
    bool starWarned = false;
    tagFileLines(m.name, kMaxManifestBytes, [&](std::uint64_t n, std::string_view line) {
        const std::string at = shown(m.name) + ", line " + std::to_string(n) + ": ";
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            warn(at + "empty");
            return;
        }
        auto parts = splitManifestLine(line);
        if (!parts) {
            problem(at + "not \"CHECKSUM NAME\": " + shown(line));
            return;
        }
        if (parts->md5sumStar && !starWarned) {
            starWarned = true;
            warn(shown(m.name) + ": written by md5sum in binary mode (\"*\" before each "
                                 "name), which strict readers refuse");
        }
        if (!isHex(parts->checksum) || (hexLength && parts->checksum.size() != hexLength)) {
            problem(at + shown(parts->checksum) + " is not a " + shown(m.algorithmName) +
                    " checksum" +
                    (hexLength ? " (" + std::to_string(hexLength) + " hex digits)" : ""));
            return;
        }
        NameCheck name = checkListedName(parts->name, v, kind);
        const std::string who = at + shown(parts->name) + ": ";
        for (const std::string& p : name.problems)
            problem(who + p);
        for (const std::string& w : name.warnings)
            warn(who + w);
        if (!name.usable)
            return;
        const std::string checksum = lowered(parts->checksum);
        if (auto it = m.byPath.find(name.path); it != m.byPath.end()) {
            const Listing& first = m.entries[it->second];
            const std::string twice = shown(name.path) + ": listed twice in " + shown(m.name) +
                                      " (lines " + std::to_string(first.line) + " and " +
                                      std::to_string(n) + ")";
            if (first.checksum != checksum)
                problem(twice + " with different checksums");
            else if (v == BagVersion::V1_0)
                problem(twice + "; a manifest lists each file once");
            else
                warn(twice + " with the same checksum");
            return;
        }
        m.entries.push_back({std::move(name.path), checksum, n});
        m.byPath.emplace(m.entries.back().path, m.entries.size() - 1);
    });
    std::vector<std::string_view> names;
    for (const Listing& l : m.entries)
        names.push_back(l.path);
    for (const auto& [a, b] : caseTwins(names))
        warn(shown(a) + " and " + shown(b) + " (" + shown(m.name) +
             "): names that differ only in case, one file where case does not count");
}

// A payload path as listed, found on disk: itself, or the one file whose
// name is the same in NFC.
// The payload entry (its key in disk_) a listed path names, if any.
const std::pair<const std::string, OnDisk>* Verifier::findOnDisk(const std::string& listed) const {
    if (auto it = disk_.find(listed); it != disk_.end())
        return &*it;
    auto n = nfcOf(listed);
    if (!n)
        return nullptr;
    if (auto it = disk_.find(*n); it != disk_.end())
        return &*it;
    if (auto it = byNfc_.find(*n); it != byNfc_.end())
        return &*disk_.find(it->second);
    return nullptr;
}

// Why `listed` is not in the payload, as the rest of a message.
std::string Verifier::whyMissing(const std::string& listed) const {
    for (std::size_t slash = listed.find('/', 5); slash != std::string::npos;
         slash = listed.find('/', slash + 1)) {
        const std::string folder = listed.substr(0, slash);
        auto it = disk_.find(folder);
        if (it != disk_.end() && it->second.kind != EntryKind::Directory)
            return ", but its folder " + shown(folder) + " is " + entryKindText(it->second.kind) +
                   " (not followed)";
    }
    if (byCaseKey_.empty())
        for (const auto& [path, info] : disk_)
            if (info.kind == EntryKind::Regular)
                if (auto k = caseKeyOf(path))
                    byCaseKey_.emplace(*k, path);
    if (auto k = caseKeyOf(listed))
        if (auto it = byCaseKey_.find(*k); it != byCaseKey_.end())
            return " but missing (" + shown(it->second) +
                   ", whose name differs only in case, is there)";
    return " but missing";
}

} // namespace detail

Verification checkBag(const std::filesystem::path& bag, const VerifyOptions& options) {
    auto reader = BagReader::open(bag, options.limits, options.stop);
    if (!reader) {
        Verification v;
        v.unchecked.push_back(reader.error());
        return v;
    }
    return detail::Verifier(*reader, options).run();
}

} // namespace kestle::evidence
