// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message digests through OpenSSL's EVP interface, the one place that uses
// it: the algorithms a BagIt manifest may name, by their normalised names
// (md5, sha1, sha224, sha256, sha384, sha512), as lower-case hex. Free
// functions on any thread; a Digest or MultiDigest is one thread's at a time.
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::evidence {

enum class DigestAlgorithm { Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };

// "sha256" -> Sha256; nullopt for a name that is not one of them.
std::optional<DigestAlgorithm> digestAlgorithm(std::string_view name);
const char* digestName(DigestAlgorithm a);
// Hex digits of a digest: 32 for md5, 64 for sha256.
std::size_t digestHexLength(DigestAlgorithm a);
// "md5, sha1, sha224, sha256, sha384, sha512", for messages.
std::string digestNames();

// One digest fed in pieces.
class Digest {
  public:
    explicit Digest(DigestAlgorithm a);
    ~Digest();
    Digest(Digest&&) noexcept;
    Digest& operator=(Digest&&) noexcept;
    void update(std::string_view bytes);
    // Finishes it; the object is spent.
    std::string hex();

  private:
    struct Context;
    std::unique_ptr<Context> ctx_;
};

// Several digests of the same bytes, read once.
class MultiDigest {
  public:
    explicit MultiDigest(const std::vector<DigestAlgorithm>& algorithms);
    void update(std::string_view bytes);
    // In the order of the algorithms given.
    std::vector<std::string> hex();

  private:
    std::vector<Digest> digests_;
};

std::string digestHex(DigestAlgorithm a, std::string_view bytes);
std::string sha256Hex(std::string_view bytes);

struct FileDigest {
    std::string sha256;
    std::uint64_t size = 0;
};
// The SHA-256 of one of the program's own files (the seal hashes the data
// folder's): read in blocks; a FIFO or a device is refused ("... is not a
// regular file"); the error names the file and the reason. Bags from
// outside are read through BagReader instead.
Result<FileDigest> sha256File(const std::filesystem::path& p);

} // namespace kestle::evidence
