// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/certificate.h"

#include "support/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::remote {

namespace {

constexpr off_t kMaxFileBytes = 64 * 1024;
constexpr long kValidSeconds = 10L * 366 * 24 * 3600;

template <auto Free> struct Freer {
    template <typename T> void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Freer<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Freer<BIO_free>>;

std::string bioText(BIO* b) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(b, &data);
    return n > 0 ? std::string(data, static_cast<std::size_t>(n)) : std::string();
}

std::string fingerprintOf(X509* cert) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (X509_digest(cert, EVP_sha256(), md, &n) != 1)
        return {};
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < n; ++i) {
        if (i)
            out += ':';
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

Result<Certificate> fromPem(const std::string& pem) {
    BioPtr in(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    KeyPtr key(in ? PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr) : nullptr);
    BioPtr in2(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    CertPtr cert(in2 ? PEM_read_bio_X509(in2.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || !cert)
        return Error{"it holds no key and certificate"};
    if (X509_check_private_key(cert.get(), key.get()) != 1)
        return Error{"its key and certificate do not belong together"};
    Certificate c;
    BioPtr k(BIO_new(BIO_s_mem())), x(BIO_new(BIO_s_mem()));
    if (!k || !x ||
        PEM_write_bio_PrivateKey(k.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
        PEM_write_bio_X509(x.get(), cert.get()) != 1)
        return Error{"it could not be read back"};
    c.keyPem = bioText(k.get());
    c.certificatePem = bioText(x.get());
    c.fingerprint = fingerprintOf(cert.get());
    return c;
}

Result<std::string> makePem() {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert(X509_new());
    if (!key || !cert)
        return Error{"no key could be made"};
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return Error{"no randomness for its serial number"};
    serial[0] &= 0x7F; // a positive number
    std::unique_ptr<BIGNUM, Freer<BN_free>> bn(BN_bin2bn(serial, sizeof serial, nullptr));
    X509_NAME* name = X509_get_subject_name(cert.get());
    const auto* cn = reinterpret_cast<const unsigned char*>("Kestle remote view");
    if (!bn || X509_set_version(cert.get(), 2) != 1 ||
        !BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert.get())) ||
        !X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidSeconds) ||
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, cn, -1, -1, 0) != 1 ||
        X509_set_issuer_name(cert.get(), name) != 1 ||
        X509_set_pubkey(cert.get(), key.get()) != 1 ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0)
        return Error{"the certificate could not be signed"};
    BioPtr out(BIO_new(BIO_s_mem()));
    if (!out ||
        PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1 ||
        PEM_write_bio_X509(out.get(), cert.get()) != 1)
        return Error{"the certificate could not be written"};
    return bioText(out.get());
}

std::string sysError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

Status writeNew(const std::filesystem::path& file, const std::string& pem) {
    const std::filesystem::path part = file.string() + ".part";
    ::unlink(part.c_str()); // a half-written one of an earlier try
    Fd fd(::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return Error{sysError("Cannot create " + part.string())};
    std::size_t done = 0;
    while (done < pem.size()) {
        const ssize_t n = ::write(fd.get(), pem.data() + done, pem.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string e = sysError("Cannot write " + part.string());
            ::unlink(part.c_str());
            return Error{e};
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::rename(part.c_str(), file.c_str()) != 0) {
        const std::string e = sysError("Cannot keep " + file.string());
        ::unlink(part.c_str());
        return Error{e};
    }
    return {};
}

} // namespace

Result<Certificate> loadOrMakeCertificate(const std::filesystem::path& file) {
    const std::string where = "The remote view's certificate " + file.string();
    Fd fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0 && errno == ENOENT) {
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        ::chmod(file.parent_path().c_str(), 0700);
        auto pem = makePem();
        if (!pem)
            return Error{where + " could not be made: " + pem.error()};
        if (Status s = writeNew(file, *pem); !s)
            return Error{s.error()};
        auto c = fromPem(*pem);
        if (!c)
            return Error{where + " could not be made: " + c.error()};
        c->made = true;
        return c;
    }
    if (fd.get() < 0)
        return Error{sysError(where + " cannot be opened")};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return Error{sysError(where + " cannot be read")};
    if (!S_ISREG(st.st_mode))
        return Error{where + " is not a regular file"};
    if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        return Error{where + " may be read by others; remove it to make a new one"};
    if (st.st_size > kMaxFileBytes)
        return Error{where + " is too large"};
    std::string pem(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < pem.size()) {
        const ssize_t n = ::read(fd.get(), pem.data() + got, pem.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    pem.resize(got);
    auto c = fromPem(pem);
    if (!c)
        return Error{where + " is not usable: " + c.error()};
    return c;
}

} // namespace kestle::remote
