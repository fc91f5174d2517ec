#include "evidence/sha256.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace kestle::evidence {

namespace {

struct MdFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Md = std::unique_ptr<EVP_MD_CTX, MdFree>;

Md startDigest() {
    Md md(EVP_MD_CTX_new());
    if (md && EVP_DigestInit_ex(md.get(), EVP_sha256(), nullptr) != 1)
        md.reset();
    return md;
}

std::string finishHex(EVP_MD_CTX* md) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(md, out, &n);
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < n; ++i) {
        hex += digits[out[i] >> 4];
        hex += digits[out[i] & 15];
    }
    return hex;
}

} // namespace

std::string sha256Hex(std::string_view bytes) {
    Md md = startDigest();
    EVP_DigestUpdate(md.get(), bytes.data(), bytes.size());
    return finishHex(md.get());
}

Result<FileDigest> sha256File(const std::filesystem::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Error{"Cannot read " + p.string() + ": " + std::strerror(errno)};
    Md md = startDigest();
    FileDigest d;
    std::vector<char> buf(1 << 20);
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
        EVP_DigestUpdate(md.get(), buf.data(), static_cast<std::size_t>(n));
        d.size += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    d.sha256 = finishHex(md.get());
    return d;
}

} // namespace kestle::evidence
