// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/pairing.h"

#include <algorithm>
#include <cerrno>
#include <sys/random.h>

namespace kestle::remote {

namespace {
// Addresses remembered for their failures: a flood of spoofed-looking
// addresses cannot grow the table without bound.
constexpr std::size_t kMaxRememberedAddresses = 4096;
} // namespace

bool systemRandom(unsigned char* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = getrandom(out + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool sameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

Pairing::Pairing(RandomSource random) : random_(std::move(random)) {}

std::string Pairing::randomHex(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    if (!random_ || !random_(raw.data(), raw.size()))
        return {};
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes * 2);
    for (unsigned char c : raw) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string Pairing::newCode() {
    code_ = randomHex(kCodeBytes);
    return code_;
}

std::optional<PairedDevice> Pairing::redeem(std::string_view code, std::string name,
                                            const std::string& address, std::int64_t nowMs) {
    if (refused(address, nowMs))
        return std::nullopt;
    if (code_.empty() || !sameSecret(code, code_)) {
        failed(address, nowMs);
        return std::nullopt;
    }
    PairedDevice d;
    d.token = randomHex(kTokenBytes);
    code_.clear();
    if (d.token.empty())
        return std::nullopt;
    d.id = nextId_++;
    d.name = std::move(name);
    d.address = address;
    devices_.push_back(d);
    return d;
}

std::optional<PairedDevice> Pairing::check(std::string_view token, const std::string& address,
                                           std::int64_t nowMs) {
    if (refused(address, nowMs))
        return std::nullopt;
    // Every token is compared, so the time does not tell which one was near.
    const PairedDevice* found = nullptr;
    for (const PairedDevice& d : devices_)
        if (sameSecret(token, d.token))
            found = &d;
    if (!found) {
        failed(address, nowMs);
        return std::nullopt;
    }
    return *found;
}

bool Pairing::refused(const std::string& address, std::int64_t nowMs) const {
    auto it = failures_.find(address);
    return it != failures_.end() && nowMs < it->second.refusedUntil;
}

void Pairing::failed(const std::string& address, std::int64_t nowMs) {
    if (failures_.size() >= kMaxRememberedAddresses && !failures_.count(address)) {
        std::erase_if(failures_,
                      [nowMs](const auto& kv) { return kv.second.refusedUntil <= nowMs; });
        if (failures_.size() >= kMaxRememberedAddresses)
            failures_.erase(failures_.begin());
    }
    Failures& f = failures_[address];
    if (nowMs < f.refusedUntil)
        return;
    if (++f.count >= kFailuresBeforeRefusal) {
        f.count = 0;
        f.refusedUntil = nowMs + kRefusalMs;
    }
}

bool Pairing::drop(int id) {
    return std::erase_if(devices_, [id](const PairedDevice& d) { return d.id == id; }) > 0;
}

void Pairing::dropAll() {
    devices_.clear();
    code_.clear();
}

} // namespace kestle::remote
