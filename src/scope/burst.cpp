// SPDX-License-Identifier: GPL-3.0-or-later
#include "scope/burst.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "support/convert.h"

namespace kestle::scope {
namespace {

constexpr double kAbScale = 0.9765625; // 2000 / 2048
constexpr double kChScale = 1.953125;  // 2000 / 1024
constexpr double kSamples = 240;       // divisor of the means
constexpr std::int64_t kRawDivisor = 12;
constexpr double kRawCap = 1024;

// The field constants are the sines of 240 and 120 radians.
const double kSin240 = std::sin(240.0);
const double kSin120 = std::sin(120.0);

std::uint16_t word(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint16_t>(high * 256 + low);
}

double rawAverage(std::int64_t sum) {
    return std::min(static_cast<double>(sum / kRawDivisor), kRawCap);
}

// Left-to-right, as the displays have always computed it.
double field(int falls, double mean, double factor) {
    return falls * mean * factor / 100 / 2;
}

} // namespace

ScopeAnswer decodeAnswer(const std::array<std::uint8_t, 8>& bytes) {
    return {word(bytes[0], bytes[1]), word(bytes[2], bytes[3]), word(bytes[4], bytes[5]),
            word(bytes[6], bytes[7])};
}

std::int16_t traceLevel(double scaled) {
    constexpr double lo = std::numeric_limits<std::int16_t>::min();
    constexpr double hi = std::numeric_limits<std::int16_t>::max();
    return *roundToInt16(std::clamp(scaled, lo, hi));
}

std::string fieldText(double value) {
    // The shown value goes through its plain decimal text first, so it is
    // rounded to 15 significant digits before the mask rounds it again.
    const double shown = parseNumber(plainDecimal(value)).value_or(value);
    return formatMask(shown, "##.##") + " mG";
}

double combinedField(double fieldA, double fieldB) {
    return (fieldA + fieldB) / 2 * kSin240 / kSin120;
}

void Burst::addAnswer(int m, const std::array<std::uint8_t, 8>& bytes) {
    if (m < 1 || m > kLastAnswerIndex || m % 2 == 0) {
        throw std::out_of_range("scope answer index must be odd, 1 to 119");
    }
    const ScopeAnswer a = decodeAnswer(bytes);
    const auto i = static_cast<std::size_t>(m);

    const double ab = (a.firstA + a.firstB) * kAbScale;
    const double sa = a.firstA * kChScale;
    const double sb = a.firstB * kChScale;
    traces_.scopeab[i] = traceLevel(ab);
    traces_.scopea[i] = traceLevel(sa);
    traces_.scopeb[i] = traceLevel(sb);
    traces_.scopeab[i + 1] = traceLevel((a.secondA + a.secondB) * kAbScale);
    traces_.scopea[i + 1] = traceLevel(a.secondA * kChScale);
    traces_.scopeb[i + 1] = traceLevel(a.secondB * kChScale);

    if (ab < previousAb_) {
        ++falls_;
    }
    previousAb_ = ab;
    sumAb_ += ab;
    sumA_ += sa;
    sumB_ += sb;
    rawA_ += a.firstA;
    rawB_ += a.firstB;
    ++answers_;
}

Summary Burst::finish() const {
    Summary s;
    const double meanAb = sumAb_ / kSamples;
    s.emfValue = field(falls_, meanAb, kSin240);
    s.emfDisplay1 = fieldText(s.emfValue);

    const double meanA = sumA_ / kSamples;
    const std::int16_t magA = traceLevel(meanA);
    s.emfA = fieldText(field(falls_, meanA, kSin120));

    const double meanB = sumB_ / kSamples;
    // mean A is rounded before mean B is added; both at most ~32000, so
    // only the sum can leave the 16-bit range.
    s.mag = traceLevel(magA + meanB);
    s.emfB = fieldText(field(falls_, meanB, kSin120));

    s.ava1 = rawAverage(rawA_);
    s.avb1 = rawAverage(rawB_);
    return s;
}

} // namespace kestle::scope
