// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who may follow the session from another device: one-time pairing codes,
// the session tokens they turn into, and the addresses refused for a while
// after too many failed attempts. Pure logic; the caller passes the time
// (milliseconds of a steady clock) and the peer's address. Window thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::remote {

// Fills `n` bytes with randomness; false when none could be had.
using RandomSource = std::function<bool(unsigned char* out, std::size_t n)>;
// The system's generator (getrandom).
bool systemRandom(unsigned char* out, std::size_t n);

// Equal secrets, in a time that depends only on their lengths.
bool sameSecret(std::string_view a, std::string_view b);

inline constexpr int kFailuresBeforeRefusal = 10;
inline constexpr std::int64_t kRefusalMs = 60'000;
// Codes: 128 bits, tokens: 256 bits, both as lower-case hex.
inline constexpr std::size_t kCodeBytes = 16, kTokenBytes = 32;

struct PairedDevice {
    int id = 0; // stable while paired, never reused
    std::string name, address;
    std::string token;
};

class Pairing {
  public:
    explicit Pairing(RandomSource random = systemRandom);

    // A new one-time code; the code issued before it is spent. Empty when
    // the system gave no randomness (then no code is valid).
    std::string newCode();
    // The code waiting to be opened; empty once spent.
    const std::string& code() const { return code_; }

    // Opening the pairing link: with the waiting code, a new paired device
    // and its token; the code is spent. A wrong or spent code counts as a
    // failed attempt of `address`; a refused address gets nothing.
    std::optional<PairedDevice> redeem(std::string_view code, std::string name,
                                       const std::string& address, std::int64_t nowMs);
    // The device a token belongs to. An unknown token counts as a failure.
    std::optional<PairedDevice> check(std::string_view token, const std::string& address,
                                      std::int64_t nowMs);

    // After kFailuresBeforeRefusal failures an address is refused for
    // kRefusalMs; nothing it sends is looked at meanwhile.
    bool refused(const std::string& address, std::int64_t nowMs) const;
    void failed(const std::string& address, std::int64_t nowMs);

    const std::vector<PairedDevice>& devices() const { return devices_; }
    // Unpairs a device (its token no longer valid); false when not paired.
    bool drop(int id);
    // Unpairs every device and spends the code.
    void dropAll();

  private:
    std::string randomHex(std::size_t bytes);

    struct Failures {
        int count = 0;
        std::int64_t refusedUntil = 0;
    };
    RandomSource random_;
    std::string code_;
    std::vector<PairedDevice> devices_;
    std::map<std::string, Failures> failures_;
    int nextId_ = 1;
};

} // namespace kestle::remote
