// SPDX-License-Identifier: GPL-3.0-or-later
// A bag complete and valid (RFC 8493 sections 2.2.2, 2.2.3 and 3): what
// fetch.txt names, every file listed there and every payload file listed,
// bag-info.txt, and every checksum of every manifest (bag_verifier.h).
#include "evidence/bag_tags.h"
#include "evidence/bag_verifier.h"

#include <algorithm>

namespace kestle::evidence::detail {

// --- 2.2.3 fetch.txt ---
void Verifier::fetchFile() {
    if (!top_.contains("fetch.txt"))
        return;
    const EntryInfo& info = top_["fetch.txt"];
    if (info.kind != EntryKind::Regular) {
        problem(std::string("fetch.txt: ") + entryKindText(info.kind) + ", not a regular file");
        return;
    }
    tagFileLines("fetch.txt", kMaxManifestBytes, [&](std::uint64_t n, std::string_view line) {
        const std::string at = "fetch.txt, line " + std::to_string(n) + ": ";
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            warn(at + "empty");
            return;
        }
        auto parts = splitFetchLine(line);
        if (!parts) {
            problem(at + "not \"URL LENGTH NAME\": " + shown(line));
            return;
        }
        if (!isAbsoluteUri(parts->url))
            problem(at + shown(parts->url) + " is not an absolute URL");
        const bool unknownLength = parts->length == "-";
        const bool number = parts->length.size() < 20 &&
                            parts->length.find_first_not_of("0123456789") == std::string_view::npos;
        if (!unknownLength && !number)
            problem(at + "the length " + shown(parts->length) +
                    " is neither a number of bytes nor \"-\"");
        NameCheck name = checkListedName(parts->name, v_, ListKind::Fetch);
        const std::string who = at + shown(parts->name) + ": ";
        for (const std::string& p : name.problems)
            problem(who + p);
        for (const std::string& w : name.warnings)
            warn(who + w);
        if (!name.usable)
            return;
        for (const Manifest& m : manifests_)
            if (!m.tag && !m.byPath.contains(name.path))
                problem(shown(name.path) + ": listed in fetch.txt but not in " + shown(m.name));
        const auto* found = findOnDisk(name.path);
        if (!found) {
            notFetched_.insert(name.path);
            return;
        }
        const OnDisk& file = found->second;
        if (number && file.kind == EntryKind::Regular &&
            std::stoull(std::string(parts->length)) != file.size)
            warn(shown(name.path) + ": fetch.txt gives " + std::string(parts->length) +
                 " bytes, the file has " + std::to_string(file.size));
    });
}

// --- 3 complete: every file listed is there, every payload file listed ---
void Verifier::completeness() {
    for (Manifest& m : manifests_) {
        for (std::size_t i = 0; i < m.entries.size(); ++i) {
            const Listing& l = m.entries[i];
            if (stopped())
                return;
            if (m.tag) {
                tagListed(m, l);
                continue;
            }
            const auto* found = findOnDisk(l.path);
            if (!found) {
                if (!notFetched_.contains(l.path))
                    problem(shown(l.path) + ": listed in " + shown(m.name) + whyMissing(l.path));
                continue;
            }
            const std::string& file = found->first;
            if (file != l.path)
                warn(shown(l.path) + ": listed in " + shown(m.name) +
                     " in another Unicode normalisation than the file's name, " + shown(file));
            if (!m.byFile.emplace(file, i).second)
                warn(shown(file) + ": listed in " + shown(m.name) +
                     " a second time under a name in another normalisation");
            if (found->second.kind == EntryKind::Directory)
                problem(shown(l.path) + ": listed in " + shown(m.name) +
                        ", but a folder; manifests list files");
        }
    }
    for (const std::string& path : notFetched_)
        problem(shown(path) + ": listed in fetch.txt but not fetched: the bag is not "
                              "complete until it is (this program fetches nothing)");
    const bool everyManifest = v_ == BagVersion::V1_0;
    for (const auto& [path, info] : disk_) {
        if (info.kind != EntryKind::Regular)
            continue;
        bool inAny = false;
        for (const Manifest& m : manifests_) {
            if (m.tag)
                continue;
            const bool listed = m.byFile.contains(path);
            inAny = inAny || listed;
            if (!listed && everyManifest)
                problem(shown(path) + ": not listed in " + shown(m.name));
        }
        if (!inAny && !everyManifest)
            problem(shown(path) + ": not listed in any payload manifest");
    }
    tagManifestCoverage();
}

void Verifier::tagListed(const Manifest& m, const Listing& l) {
    auto info = r_.inspect(l.path);
    if (!info) {
        failed(info.error());
        return;
    }
    const std::string head = shown(l.path) + ": listed in " + shown(m.name);
    if (info->kind == EntryKind::Regular) {
        TagFile& t = tagFiles_[l.path];
        t.info = {info->kind, info->size, info->device, info->inode};
        t.expected.push_back({static_cast<std::size_t>(&m - manifests_.data()), l.checksum});
    } else if (info->kind == EntryKind::Missing && !info->blockedAt.empty() &&
               info->blockedBy != EntryKind::Missing)
        problem(head + ", but its folder " + shown(info->blockedAt) + " is " +
                entryKindText(info->blockedBy) + " (not followed)");
    else if (info->kind == EntryKind::Missing)
        problem(head + " but missing");
    else
        problem(head + ", but " + entryKindText(info->kind) +
                (info->kind == EntryKind::Symlink ? " (not followed)" : ", not a regular file"));
}

// 2.2.1: a tag manifest lists every payload manifest (1.0).
void Verifier::tagManifestCoverage() {
    std::set<std::string> listedAnywhere;
    bool anyTagManifest = false;
    for (const Manifest& t : manifests_) {
        if (!t.tag)
            continue;
        anyTagManifest = true;
        for (const Listing& l : t.entries)
            listedAnywhere.insert(l.path);
        if (v_ != BagVersion::V1_0)
            continue;
        for (const Manifest& m : manifests_)
            if (!m.tag && !t.byPath.contains(m.name))
                problem(shown(t.name) + ": does not list the payload manifest " + shown(m.name) +
                        ", as every tag manifest must");
    }
    if (!anyTagManifest || v_ != BagVersion::V1_0)
        return;
    for (const auto& [name, info] : top_)
        if (info.kind == EntryKind::Regular && !name.starts_with("tagmanifest-") &&
            !name.starts_with(".") && !listedAnywhere.contains(name))
            warn(shown(name) + ": a tag file no tag manifest lists");
}

// --- 2.2.2 bag-info.txt, optional ---
void Verifier::bagInfo() {
    if (!top_.contains("bag-info.txt"))
        return;
    const EntryInfo& info = top_["bag-info.txt"];
    if (info.kind != EntryKind::Regular) {
        problem(std::string("bag-info.txt: ") + entryKindText(info.kind) + ", not a regular file");
        return;
    }
    std::string text;
    if (!tagFileLines("bag-info.txt", kMaxTagFileBytes, [&text](std::uint64_t, std::string_view l) {
            text += l;
            text += '\n';
        }))
        return;
    BagInfoCheck c = checkBagInfo(text, v_);
    for (std::string& p : c.problems)
        problem(std::move(p));
    for (std::string& w : c.warnings)
        warn(std::move(w));
    const std::vector<std::string> oxums = infoValues(c.info, "Payload-Oxum");
    if (oxums.size() > 1 && v_ == BagVersion::V1_0)
        problem("bag-info.txt: Payload-Oxum is given " + std::to_string(oxums.size()) +
                " times; it may be given once");
    const std::string actual =
        std::to_string(out_.payloadBytes) + "." + std::to_string(out_.payloadFiles);
    for (const std::string& oxum : oxums) {
        const std::size_t dot = oxum.find('.');
        if (dot == 0 || dot == std::string::npos || dot + 1 == oxum.size() ||
            oxum.find_first_not_of("0123456789.") != std::string::npos ||
            oxum.find('.', dot + 1) != std::string::npos)
            problem("bag-info.txt: Payload-Oxum " + shown(oxum) + " is not OCTETS.FILES");
        else if (oxum != actual && notFetched_.empty())
            problem("bag-info.txt: Payload-Oxum " + shown(oxum) + " but the payload is " + actual);
    }
}

void Verifier::checksums() {
    // What each file is expected to be, manifest by manifest.
    auto payloadExpected = [this](const std::string& path) {
        std::vector<Expected> expected;
        for (std::size_t i = 0; i < manifests_.size(); ++i) {
            const Manifest& m = manifests_[i];
            if (m.tag || !m.algorithm)
                continue;
            if (auto it = m.byFile.find(path); it != m.byFile.end())
                expected.push_back({i, m.entries[it->second].checksum});
        }
        return expected;
    };
    std::uint64_t total = 0, done = 0;
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> links;
    for (const auto& [path, d] : disk_)
        if (d.kind == EntryKind::Regular) {
            total += d.size;
            ++links[{d.device, d.inode}];
        }
    for (const auto& [path, t] : tagFiles_)
        total += t.info.size;
    // Hard links (the seal links captures): each file read once.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::map<DigestAlgorithm, std::string>> known;
    auto check = [&](const std::string& path, const OnDisk& d,
                     const std::vector<Expected>& expected, bool linked) {
        const std::pair id{d.device, d.inode};
        std::vector<DigestAlgorithm> algorithms;
        for (const Expected& e : expected) {
            const DigestAlgorithm a = *manifests_[e.manifest].algorithm;
            if (std::find(algorithms.begin(), algorithms.end(), a) == algorithms.end() &&
                !known[id].contains(a))
                algorithms.push_back(a);
        }
        if (!algorithms.empty()) {
            MultiDigest digest(algorithms);
            const std::uint64_t before = done;
            Status read = r_.readChunks(path, [&](std::string_view chunk) {
                digest.update(chunk);
                done += chunk.size();
                if (options_.progress)
                    options_.progress(done, total);
                return Status{};
            });
            if (!read) {
                failed(read.error());
                done = before + d.size;
                known.erase(id);
                return;
            }
            const std::vector<std::string> hex = digest.hex();
            for (std::size_t i = 0; i < algorithms.size(); ++i)
                known[id][algorithms[i]] = hex[i];
        }
        for (const Expected& e : expected)
            if (known[id][*manifests_[e.manifest].algorithm] != e.checksum)
                problem(shown(path) + ": checksum does not match " +
                        shown(manifests_[e.manifest].name));
        if (!linked)
            known.erase(id);
    };
    for (const auto& [path, d] : disk_) {
        if (stopped())
            return;
        if (d.kind != EntryKind::Regular)
            continue;
        const std::vector<Expected> expected = payloadExpected(path);
        if (!expected.empty())
            check(path, d, expected, links[{d.device, d.inode}] > 1);
    }
    for (const auto& [path, t] : tagFiles_) {
        if (stopped())
            return;
        check(path, t.info, t.expected, false);
    }
}

} // namespace kestle::evidence::detail
