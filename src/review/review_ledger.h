// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What was listened to, and by whom: `<bag>.review.jsonl` beside the bag's
// folder (never inside the sealed bag), one JSON object per line, each
// naming the bag by the SHA-256 of its tagmanifest-sha256.txt, so that a
// review never attaches to another bag (lines of another digest are kept
// in the file and ignored):
//   {"bag":DIGEST,"time":"YYYY-MM-DDTHH:MM:SS","by":USER,"event":"played",
//    "file":"data/captures/x.wav","from":MS,"to":MS,"speed":"1.5"}
//   {"bag":DIGEST,"time":...,"by":USER,"event":"mark","file":...,"from":MS,
//    "to":MS,"verdict":"keep"|"heard, nothing","note":TEXT}
// from and to are ms within the recording. Each line is one write on a
// file opened for appending (never through a symbolic link). Any thread,
// one ledger per thread.
#include "support/datetime.h"
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kestle::review {

std::filesystem::path ledgerPath(const std::filesystem::path& bag);
// The SHA-256 of the bag's tagmanifest-sha256.txt: the bag's name in its ledger.
Result<std::string> bagDigest(const std::filesystem::path& bag);

inline constexpr const char* kVerdictKeep = "keep";
inline constexpr const char* kVerdictNothing = "heard, nothing";

struct LedgerEntry {
    std::string event; // "played" or "mark"
    std::string time, by, file;
    std::int64_t fromMs = 0, toMs = 0;
    double speed = 1;
    std::string verdict, note;
};

// [from, to) spans of a recording, joined where they touch or overlap.
using Spans = std::vector<std::pair<std::int64_t, std::int64_t>>;
Spans joinSpans(Spans spans);

class ReviewLedger {
  public:
    // The entries of the ledger beside `bag` that name `digest` (none when
    // it does not exist yet). An error when it cannot be read.
    static Result<ReviewLedger> open(const std::filesystem::path& bag, std::string digest);

    Status played(const std::string& file, std::int64_t fromMs, std::int64_t toMs, double speed,
                  const LocalDateTime& now);
    Status marked(const std::string& file, std::int64_t fromMs, std::int64_t toMs,
                  const std::string& verdict, const std::string& note, const LocalDateTime& now);

    const std::vector<LedgerEntry>& entries() const { return entries_; }
    const std::string& digest() const { return digest_; }
    // What of `file` has been played, joined.
    Spans heard(const std::string& file) const;
    // The latest verdict of each marked stretch of `file` (by its from, to).
    std::vector<LedgerEntry> marks() const;
    // Who is reviewing: the login name.
    static std::string reviewer();

  private:
    Status append(const LedgerEntry& e);
    std::filesystem::path path_;
    std::string digest_;
    std::vector<LedgerEntry> entries_;
};

// How much of a recording of `lengthMs` the spans cover, 0..1.
double heardShare(const Spans& heard, std::int64_t lengthMs);

} // namespace kestle::review
