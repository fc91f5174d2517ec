// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Verifying a bag as RFC 8493 says, section by section, for BagIt 1.0 and
// for the bags of version 0.97 (the conformance suite's): the declaration
// (2.1.1), the payload folder (2.1.2), every payload manifest (2.1.3) and
// tag manifest (2.2.1) present, with md5, sha1, sha224, sha256, sha384 or
// sha512, bag-info.txt when there is one (2.2.2, Payload-Oxum when given),
// fetch.txt (2.2.3), the tag files' encoding (2.3), completeness and
// validity (3), and the paths (5.1): nothing outside the bag, no symbolic
// link anywhere in the payload, only regular files. Names that differ only
// in case or in Unicode normalisation are warned of; a name listed in
// another normalisation than the file's is found, with a warning. A bag of
// another version is not checked (and says so). Everything is read through
// BagReader, each payload file once whatever the number of manifests.
//
// Synchronous, on the calling thread (any); stops between two chunks once
// `stop` is set. Texts name the file, relative to the bag, printable.
#include "evidence/bag_reader.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestle::evidence {

struct Verification {
    std::string version;                 // as bagit.txt gives it; empty when it could not be read
    std::vector<std::string> problems;   // each makes the bag invalid
    std::vector<std::string> warnings;   // the bag is valid all the same
    std::vector<std::string> unchecked;  // what could not be checked, and why
    std::vector<std::string> algorithms; // of the payload manifests checked
    std::uint64_t payloadFiles = 0, payloadBytes = 0;
    bool stopped = false;
    bool valid() const { return problems.empty() && unchecked.empty() && !stopped; }
    // 0 valid, 1 invalid (a problem), 2 it could not be checked.
    int exitStatus() const;
};

struct VerifyOptions {
    StopFlag stop;
    // Bytes hashed so far of the total to hash; on the verifying thread.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    ReadLimits limits;
};

Verification checkBag(const std::filesystem::path& bag, const VerifyOptions& options = {});

// A manifest's size limit (it is read line by line) and a line's.
inline constexpr std::uint64_t kMaxManifestBytes = 256ull << 20;
inline constexpr std::uint64_t kMaxTagFileBytes = 16ull << 20;

} // namespace kestle::evidence
