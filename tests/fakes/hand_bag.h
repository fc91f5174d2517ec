// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A BagIt 1.0 bag written by hand, with whatever a test wants in it (or
// wrong with it): its files first, then its tag files, each manifest
// listing every file found below data/ (links followed: a link's target is
// listed with its right digest) plus the entries a test adds.
#include "evidence/bagit.h"
#include "evidence/digest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kestle::test {

class HandBag {
  public:
    struct Tags {
        std::vector<evidence::DigestAlgorithm> algorithms = {evidence::DigestAlgorithm::Sha256};
        bool bagInfo = true, oxum = true, tagManifest = true;
    };

    explicit HandBag(std::filesystem::path dir) : dir_(std::move(dir)) {
        std::filesystem::create_directories(dir_ / "data");
    }
    const std::filesystem::path& dir() const { return dir_; }

    // A file relative to the bag ("data/a.txt"), its folders made.
    HandBag& file(const std::string& rel, const std::string& bytes) {
        const auto p = dir_ / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
        return *this;
    }
    // One more line for the payload manifests, as written.
    HandBag& listed(const std::string& line) {
        extra_.push_back(line);
        return *this;
    }

    HandBag& seal() { return seal(Tags{}); }
    HandBag& seal(const Tags& tags) {
        namespace fs = std::filesystem;
        std::vector<std::pair<std::string, std::string>> files; // name, bytes
        for (auto it = fs::recursive_directory_iterator(
                 dir_ / "data", fs::directory_options::follow_directory_symlink);
             it != fs::recursive_directory_iterator(); ++it) {
            std::error_code ec;
            if (it->is_regular_file(ec))
                files.emplace_back(it->path().lexically_relative(dir_).generic_string(),
                                   read(it->path()));
        }
        std::sort(files.begin(), files.end());
        file("bagit.txt", "BagIt-Version: 1.0\nTag-File-Character-Encoding: UTF-8\n");
        std::vector<std::string> tagFiles = {"bagit.txt"};
        std::uint64_t octets = 0;
        for (const auto& [name, bytes] : files)
            octets += bytes.size();
        for (evidence::DigestAlgorithm a : tags.algorithms) {
            std::string text;
            for (const auto& [name, bytes] : files)
                text += evidence::digestHex(a, bytes) + "  " + evidence::encodeManifestPath(name) +
                        "\n";
            for (const std::string& l : extra_)
                text += l + "\n";
            const std::string m = "manifest-" + std::string(evidence::digestName(a)) + ".txt";
            file(m, text);
            tagFiles.push_back(m);
        }
        if (tags.bagInfo) {
            std::string info = "Bagging-Date: 2026-12-07\n";
            if (tags.oxum)
                info += "Payload-Oxum: " + std::to_string(octets) + "." +
                        std::to_string(files.size()) + "\n";
            file("bag-info.txt", info);
            tagFiles.push_back("bag-info.txt");
        }
        if (tags.tagManifest) {
            const evidence::DigestAlgorithm a = tags.algorithms.front();
            std::string text;
            for (const std::string& t : tagFiles)
                text += evidence::digestHex(a, read(dir_ / t)) + "  " + t + "\n";
            file("tagmanifest-" + std::string(evidence::digestName(a)) + ".txt", text);
        }
        return *this;
    }

    static std::string read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    std::filesystem::path dir_;
    std::vector<std::string> extra_;
};

} // namespace kestle::test
