// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One scope burst: 60 answers to the "=" request, each holding two samples
// of channel A and B. The burst stores every sample in the traces and sums
// the first pair of each answer into the summary values the other stages
// read (field texts, mag, ava1, avb1). No device access happens here; the
// caller runs the exchanges and feeds each answer in as it arrives.
#include <array>
#include <cstdint>
#include <string>

#include "scope/traces.h"

namespace kestle::scope {

// Answers per burst and the trace index of the last answer's first pair.
inline constexpr int kBurstAnswers = 60;
inline constexpr int kLastAnswerIndex = 119;

// The two sample pairs of one answer, raw 16-bit big-endian counts
// (10-bit readings, 0 to 1023, in normal use).
struct ScopeAnswer {
    std::uint16_t firstA = 0, firstB = 0;
    std::uint16_t secondA = 0, secondB = 0;
};

// Decodes bytes 1 to 8 of the input report (report ID excluded):
// index 0..1 first A, 2..3 first B, 4..5 second A, 6..7 second B, high byte first.
ScopeAnswer decodeAnswer(const std::array<std::uint8_t, 8>& bytes);

// Scaled trace level of a count (or of A + B for the combined trace),
// rounded half to even and clamped to the 16-bit range: a full-scale 16-bit
// count would otherwise not fit the trace arrays.
std::int16_t traceLevel(double scaled);

// A field value as shown to the operator: reduced to its 15-digit plain
// decimal form, formatted with "##.##", then " mG" ("." + " mG" for zero).
std::string fieldText(double value);

// The combined field (emfValue) from the two channels' fields: the combined
// mean is half the sum of the channel means, taken at the combined
// constant. Exact up to the rounding of the fields' texts.
double combinedField(double fieldA, double fieldB);

// Summary values of one burst.
struct Summary {
    std::string emfDisplay1; // combined A + B field text, also read by the logs
    std::string emfA;        // channel A field text
    std::string emfB;        // channel B field text
    std::int16_t mag = 0;    // rounded mean A level plus mean B level, clamped to 16 bits
    double ava1 = 0;         // whole part of raw A sum / 12, at most 1024
    double avb1 = 0;         // whole part of raw B sum / 12, at most 1024
    double emfValue = 0;     // combined field value in mG, before formatting
};

// Accumulates one burst. The traces must outlive the Burst; answers are fed
// in exchange order, because the fall count compares each answer with the
// one before. Single-threaded (the window thread).
class Burst {
  public:
    explicit Burst(ScopeTraces& traces) : traces_(traces) {}

    // Stores answer `m` (1, 3, ..., 119) at trace indices m and m + 1 and
    // counts its first pair. Throws std::out_of_range for any other m.
    void addAnswer(int m, const std::array<std::uint8_t, 8>& bytes);

    // Summary of the answers so far. The means always divide by 240 and the
    // raw averages by 12, as the displays expect, however many answers came.
    Summary finish() const;

    int answers() const { return answers_; }
    // Answers whose combined level fell below the previous answer's.
    int falls() const { return falls_; }

  private:
    ScopeTraces& traces_;
    int answers_ = 0;
    int falls_ = 0;
    double previousAb_ = 0; // the level before the first answer counts as 0
    double sumAb_ = 0, sumA_ = 0, sumB_ = 0;
    std::int64_t rawA_ = 0, rawB_ = 0;
};

} // namespace kestle::scope
