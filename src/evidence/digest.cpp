// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/digest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::evidence {

namespace {

struct Known {
    DigestAlgorithm algorithm;
    const char* name;
    std::size_t hexLength;
};
constexpr std::array<Known, 6> kKnown = {{{DigestAlgorithm::Md5, "md5", 32},
                                          {DigestAlgorithm::Sha1, "sha1", 40},
                                          {DigestAlgorithm::Sha224, "sha224", 56},
                                          {DigestAlgorithm::Sha256, "sha256", 64},
                                          {DigestAlgorithm::Sha384, "sha384", 96},
                                          {DigestAlgorithm::Sha512, "sha512", 128}}};

const Known& known(DigestAlgorithm a) {
    return kKnown[static_cast<std::size_t>(a)];
}

const EVP_MD* evpOf(DigestAlgorithm a) {
    switch (a) {
    case DigestAlgorithm::Md5:
        return EVP_md5();
    case DigestAlgorithm::Sha1:
        return EVP_sha1();
    case DigestAlgorithm::Sha224:
        return EVP_sha224();
    case DigestAlgorithm::Sha256:
        return EVP_sha256();
    case DigestAlgorithm::Sha384:
        return EVP_sha384();
    case DigestAlgorithm::Sha512:
        break;
    }
    return EVP_sha512();
}

} // namespace

std::optional<DigestAlgorithm> digestAlgorithm(std::string_view name) {
    for (const Known& k : kKnown)
        if (name == k.name)
            return k.algorithm;
    return std::nullopt;
}

const char* digestName(DigestAlgorithm a) {
    return known(a).name;
}

std::size_t digestHexLength(DigestAlgorithm a) {
    return known(a).hexLength;
}

std::string digestNames() {
    std::string names;
    for (const Known& k : kKnown)
        names += std::string(names.empty() ? "" : ", ") + k.name;
    return names;
}

struct Digest::Context {
    EVP_MD_CTX* md = nullptr;
    ~Context() { EVP_MD_CTX_free(md); }
};

Digest::Digest(DigestAlgorithm a) : ctx_(std::make_unique<Context>()) {
    ctx_->md = EVP_MD_CTX_new();
    // Only an allocation failure makes either fail; the process cannot go
    // on without memory anyway.
    if (!ctx_->md || EVP_DigestInit_ex(ctx_->md, evpOf(a), nullptr) != 1)
        std::abort();
}

Digest::~Digest() = default;
Digest::Digest(Digest&&) noexcept = default;
Digest& Digest::operator=(Digest&&) noexcept = default;

void Digest::update(std::string_view bytes) {
    EVP_DigestUpdate(ctx_->md, bytes.data(), bytes.size());
}

std::string Digest::hex() {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(ctx_->md, out, &n);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < n; ++i) {
        hex += kDigits[out[i] >> 4];
        hex += kDigits[out[i] & 15];
    }
    return hex;
}

MultiDigest::MultiDigest(const std::vector<DigestAlgorithm>& algorithms) {
    for (DigestAlgorithm a : algorithms)
        digests_.emplace_back(a);
}

void MultiDigest::update(std::string_view bytes) {
    for (Digest& d : digests_)
        d.update(bytes);
}

std::vector<std::string> MultiDigest::hex() {
    std::vector<std::string> out;
    for (Digest& d : digests_)
        out.push_back(d.hex());
    return out;
}

std::string digestHex(DigestAlgorithm a, std::string_view bytes) {
    Digest d(a);
    d.update(bytes);
    return d.hex();
}

std::string sha256Hex(std::string_view bytes) {
    return digestHex(DigestAlgorithm::Sha256, bytes);
}

Result<FileDigest> sha256File(const std::filesystem::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return Error{"Cannot read " + p.string() + ": " + std::strerror(errno)};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error{"Cannot read " + p.string() + ": it is not a regular file"};
    }
    Digest md(DigestAlgorithm::Sha256);
    FileDigest d;
    // Sized to the file: a seal may hash thousands of small ones.
    std::vector<char> buf(
        static_cast<std::size_t>(std::min<std::uint64_t>(1 << 20, std::uint64_t(st.st_size) + 1)));
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return Error{"Cannot read " + p.string() + ": " + std::strerror(e)};
        }
        if (n == 0)
            break;
        md.update(std::string_view(buf.data(), static_cast<std::size_t>(n)));
        d.size += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    d.sha256 = md.hex();
    return d;
}

} // namespace kestle::evidence
