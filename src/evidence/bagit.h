// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// BagIt bags (RFC 8493, version 1.0, SHA-256): sealing a folder whose
// payload already lies in `data/`, and the texts of its tag files. Paths in manifests
// are relative to the bag, with "/" separators; CR, LF and "%" in a name are
// percent-encoded as the RFC asks. Synchronous; any thread.
#include "support/result.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestle::evidence {

struct ManifestLine {
    std::string sha256;
    std::string path; // relative to the bag, decoded
};

std::string encodeManifestPath(const std::string& path);
std::string decodeManifestPath(const std::string& path);
std::string manifestText(const std::vector<ManifestLine>& lines);
// Lines "<checksum> <path>"; a line that is not of that form is an error
// naming its number.
Result<std::vector<ManifestLine>> parseManifest(const std::string& text);

// Label, value pairs of bag-info.txt in the order given.
using BagInfo = std::vector<std::pair<std::string, std::string>>;
// Long values are folded onto continuation lines that start with a blank.
std::string bagInfoText(const BagInfo& info);
BagInfo parseBagInfo(const std::string& text);

// Hashes every file under `bag`/data, then writes manifest-sha256.txt,
// bagit.txt, bag-info.txt (`info` after Bagging-Date and Payload-Oxum) and
// tagmanifest-sha256.txt, each replaced atomically. Files whose names start
// with "." in the bag's own folder are not tag files and are left out.
// `cache`, when given, serves the digests of files hashed before.
class HashCache;
Status sealBag(const std::filesystem::path& bag, const BagInfo& info,
               const std::string& baggingDate, HashCache* cache = nullptr);

// Every problem checkBag() (bag_verify.h) finds, each naming the file, and
// what it could not check; empty: the bag is valid. Ends soon after `stop`
// is set, with a problem that says so.
std::vector<std::string> verifyBag(const std::filesystem::path& bag,
                                   std::shared_ptr<std::atomic<bool>> stop = {});

} // namespace kestle::evidence
