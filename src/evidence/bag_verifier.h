// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The verifier's own state, shared by the files that check a bag section by
// section (bag_verify.cpp: the declaration, the tag files, the payload and
// the manifests; bag_check.cpp: fetch.txt, completeness, bag-info.txt and
// the checksums). Not for use elsewhere: see bag_verify.h.
#include "evidence/bag_names.h"
#include "evidence/bag_reader.h"
#include "evidence/bag_verify.h"
#include "evidence/digest.h"
#include "support/quote.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestle::evidence::detail {

inline constexpr std::size_t kMaxListedProblems = 10000;

inline std::string shown(std::string_view name) {
    return printableText(name);
}

struct Listing {
    std::string path;     // as looked up (decoded, "./" cut off)
    std::string checksum; // lower case
    std::uint64_t line = 0;
};

// A bag may list a million files: what is kept of each is small, and the
// paths are kept once (the maps' keys are views of them).
struct Manifest {
    std::string name;
    bool tag = false;
    std::string algorithmName;
    std::optional<DigestAlgorithm> algorithm;
    std::deque<Listing> entries;                              // stays in place
    std::unordered_map<std::string_view, std::size_t> byPath; // listed path -> entry
    std::unordered_map<std::string_view, std::size_t> byFile; // payload file -> entry
};

// What a payload entry is.
struct OnDisk {
    EntryKind kind = EntryKind::Missing;
    std::uint64_t size = 0, device = 0, inode = 0;
};

class Verifier {
  public:
    Verifier(const BagReader& reader, const VerifyOptions& options)
        : r_(reader), options_(options) {}

    Verification run();

  private:
    // --- what is found ---
    void problem(std::string s) {
        if (out_.problems.size() >= kMaxListedProblems) {
            ++omitted_;
            return;
        }
        out_.problems.push_back(std::move(s));
    }
    void warn(std::string s) {
        if (out_.warnings.size() < kMaxListedProblems)
            out_.warnings.push_back(std::move(s));
    }
    // A read that failed: stopped, or something not checked.
    void failed(const std::string& error) {
        if (r_.stopped())
            out_.stopped = true;
        else
            out_.unchecked.push_back(error);
    }
    bool stopped() const { return out_.stopped || r_.stopped(); }

    // --- 2.1.1 the bag declaration ---
    bool declaration();

    // --- 2 the tag files in the bag's folder ---
    bool topLevel();

    // --- 2.1.2 the payload folder, walked without following anything ---
    void payloadFolder();

    // Payload files whose names differ only in normalisation or in case.
    void similarNames();

    // --- lines of a tag file, as UTF-8 ---
    // Calls `line` for each; false when the file could not be read whole.
    bool tagFileLines(const std::string& name, std::uint64_t maxBytes,
                      const std::function<void(std::uint64_t, std::string_view)>& line);

    // --- 2.1.3 and 2.2.1: one manifest's lines ---
    void readManifest(Manifest& m);

    // A payload path as listed, found on disk: itself, or the one file whose
    // name is the same in NFC.
    // The payload entry (its key in disk_) a listed path names, if any.
    const std::pair<const std::string, OnDisk>* findOnDisk(const std::string& listed) const;

    // Why `listed` is not in the payload, as the rest of a message.
    std::string whyMissing(const std::string& listed) const;

    // --- 2.2.3 fetch.txt ---
    void fetchFile();

    // --- 3 complete: every file listed is there, every payload file listed ---
    void completeness();

    void tagListed(const Manifest& m, const Listing& l);

    // 2.2.1: a tag manifest lists every payload manifest (1.0).
    void tagManifestCoverage();

    // --- 2.2.2 bag-info.txt, optional ---
    void bagInfo();

    // --- 3 valid: every checksum of every manifest ---
    struct Expected {
        std::size_t manifest;
        std::string_view checksum;
    };
    struct TagFile {
        OnDisk info;
        std::vector<Expected> expected;
    };

    void checksums();

    const BagReader& r_;
    const VerifyOptions& options_;
    Verification out_;
    std::size_t omitted_ = 0;
    BagVersion v_ = BagVersion::V1_0;
    std::string encoding_ = "UTF-8";
    bool utf8_ = true;
    std::map<std::string, EntryInfo> top_;
    std::map<std::string, OnDisk> disk_;                 // the payload: path -> what it is
    std::unordered_map<std::string, std::string> byNfc_; // NFC of a name not in NFC -> the name
    mutable std::unordered_map<std::string, std::string> byCaseKey_; // made when first needed
    std::vector<Manifest> manifests_;
    std::set<std::string> notFetched_;
    std::map<std::string, TagFile> tagFiles_; // listed in a tag manifest
};

} // namespace kestle::evidence::detail
