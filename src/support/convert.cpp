// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/convert.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kestle {

namespace {

// |v| rounded to 15 significant digits: value = d.ddd... x 10^exp, where
// `digits` holds d, ddd... without trailing zeros. Empty digits: zero.
struct Decimal15 {
    std::string digits;
    int exp = 0;
};

Decimal15 decimal15(double v) {
    // to_chars is locale-independent and correctly rounded.
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf)); // d.ddddddddddddddde+XX
    Decimal15 d;
    const auto e = text.find('e');
    for (const char c : text.substr(0, e))
        if (c != '.')
            d.digits += c;
    auto expText = text.substr(e + 1);
    const bool negExp = expText.front() == '-';
    expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), d.exp);
    if (negExp)
        d.exp = -d.exp;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

std::string nonFinite(double v) {
    if (std::isnan(v))
        return "NaN";
    return v < 0 ? "-Inf" : "Inf";
}

// The decimal's integer and fraction digits written out in full.
void splitDecimal(const Decimal15& d, std::string& intPart, std::string& fracPart) {
    intPart.clear();
    fracPart.clear();
    if (d.digits.empty())
        return;
    if (d.exp >= 0) {
        const auto n = static_cast<std::size_t>(d.exp) + 1;
        if (d.digits.size() <= n) {
            intPart = d.digits + std::string(n - d.digits.size(), '0');
        } else {
            intPart = d.digits.substr(0, n);
            fracPart = d.digits.substr(n);
        }
    } else {
        fracPart = std::string(static_cast<std::size_t>(-d.exp - 1), '0') + d.digits;
    }
}

// Rounds the digit string int.frac to `decimals` places, half away from zero.
void roundDecimal(std::string& intPart, std::string& fracPart, std::size_t decimals) {
    if (fracPart.size() <= decimals) {
        fracPart.append(decimals - fracPart.size(), '0');
        return;
    }
    const bool up = fracPart[decimals] >= '5';
    fracPart.resize(decimals);
    if (!up)
        return;
    std::string all = intPart + fracPart;
    std::size_t i = all.size();
    while (i > 0 && all[i - 1] == '9')
        all[--i] = '0';
    if (i == 0)
        all.insert(all.begin(), '1');
    else
        ++all[i - 1];
    intPart = all.substr(0, all.size() - decimals);
    fracPart = all.substr(all.size() - decimals);
}

bool isPlaceholder(char c) {
    return c == '#' || c == '0' || c == '.';
}

struct Scan {
    double value = 0;
    std::size_t end = 0; // one past the last character that belongs to the number
    bool digits = false; // at least one mantissa digit
};

// Sign, digits, point, digits, and an exponent [eEdD][+-]digits when it has
// digits, from the start of `s`.
Scan scanNumber(std::string_view s) {
    Scan r;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const auto isDigit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    std::string intDigits, fracDigits;
    while (isDigit(i))
        intDigits += s[i++];
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (isDigit(i))
            fracDigits += s[i++];
    }
    if (intDigits.empty() && fracDigits.empty())
        return r;
    r.digits = true;
    r.end = i;
    long long exp = 0;
    if (i < s.size() && std::string_view("eEdD").find(s[i]) != std::string_view::npos) {
        std::size_t k = i + 1;
        bool negExp = false;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
            negExp = s[k++] == '-';
        if (isDigit(k)) {
            while (isDigit(k)) {
                // Far beyond any double's range; saturating keeps the arithmetic defined.
                if (exp < 100000)
                    exp = exp * 10 + (s[k] - '0');
                ++k;
            }
            if (negExp)
                exp = -exp;
            r.end = k;
        }
    }
    // Appended piece by piece: GCC 12 warns falsely about "literal" + string.
    std::string text = negative ? "-" : "";
    text += intDigits.empty() ? "0" : intDigits;
    text += '.';
    text += fracDigits.empty() ? "0" : fracDigits;
    text += 'e';
    text += std::to_string(exp);
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Decimal magnitude of the mantissa decides overflow or underflow.
        const auto firstInt = intDigits.find_first_not_of('0');
        const long long mag = firstInt != std::string::npos
                                  ? static_cast<long long>(intDigits.size() - firstInt)
                                  : -static_cast<long long>(std::min(
                                        fracDigits.find_first_not_of('0'), fracDigits.size()));
        v = mag + exp > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        if (negative)
            v = -v;
    }
    r.value = v + 0.0; // no negative zero
    return r;
}

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

double roundHalfEven(double v) {
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return f + 1;
    if (diff < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

} // namespace

std::string plainDecimal(double v) {
    if (!std::isfinite(v))
        return nonFinite(v);
    const Decimal15 d = decimal15(v);
    if (d.digits.empty())
        return "0";
    std::string out = v < 0 ? "-" : "";
    const bool plain = (d.exp >= -15 && d.exp <= 14) || (d.exp == 15 && d.digits == "1");
    if (!plain) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += '.';
            out += d.digits.substr(1);
        }
        out += d.exp < 0 ? "E-" : "E+";
        out += std::to_string(std::abs(d.exp));
        return out;
    }
    std::string intPart, fracPart;
    splitDecimal(d, intPart, fracPart);
    out += intPart.empty() ? "0" : intPart;
    if (!fracPart.empty()) {
        out += '.';
        out += fracPart;
    }
    return out;
}

std::string numText(double v) {
    std::string r = v >= 0 ? " " : "";
    r += plainDecimal(v);
    return r;
}

std::string formatMask(double v, std::string_view mask) {
    if (!std::isfinite(v))
        return plainDecimal(v);
    const auto first = mask.find_first_of("#0.");
    if (first == std::string_view::npos)
        return std::string(mask);
    const auto last = mask.find_last_of("#0.");
    const std::string_view prefix = mask.substr(0, first);
    const std::string_view suffix = mask.substr(last + 1);
    const std::string_view body = mask.substr(first, last - first + 1);

    const auto point = body.find('.');
    const bool hasPoint = point != std::string_view::npos;
    const std::string_view intMask = body.substr(0, point);
    const std::string_view fracMask = hasPoint ? body.substr(point + 1) : std::string_view{};
    std::size_t decimals = 0, minDecimals = 0;
    for (std::size_t i = 0; i < fracMask.size(); ++i) {
        if (fracMask[i] == '#' || fracMask[i] == '0')
            ++decimals;
        if (fracMask[i] == '0')
            minDecimals = decimals;
    }
    std::size_t minIntDigits = 0;
    const auto firstZero = intMask.find('0');
    if (firstZero != std::string_view::npos)
        for (const char c : intMask.substr(firstZero))
            minIntDigits += isPlaceholder(c) ? 1 : 0;

    std::string intPart, fracPart;
    splitDecimal(decimal15(v), intPart, fracPart);
    roundDecimal(intPart, fracPart, decimals);
    intPart.erase(0, std::min(intPart.find_first_not_of('0'), intPart.size()));
    const bool zero = intPart.empty() && fracPart.find_first_not_of('0') == std::string::npos;
    if (intPart.size() < minIntDigits)
        intPart.insert(0, minIntDigits - intPart.size(), '0');
    while (fracPart.size() > minDecimals && fracPart.back() == '0')
        fracPart.pop_back();

    std::string out = v < 0 && !zero ? "-" : "";
    out += prefix;
    out += intPart;
    if (hasPoint)
        out += "." + fracPart;
    out += suffix;
    return out;
}

std::optional<std::int16_t> roundToInt16(double v) {
    if (std::isnan(v))
        return std::nullopt;
    const double r = roundHalfEven(v);
    if (r < std::numeric_limits<std::int16_t>::min() ||
        r > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(r);
}

std::int32_t roundToInt32(double v) {
    if (std::isnan(v))
        return 0;
    const double r = roundHalfEven(v);
    if (r <= std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (r >= std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

double leadingNumber(std::string_view text) {
    std::string packed;
    packed.reserve(text.size());
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            packed += c;
    return scanNumber(packed).value;
}

std::optional<double> parseNumber(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    const Scan s = scanNumber(t);
    if (!s.digits || s.end != t.size())
        return std::nullopt;
    return s.value;
}

std::optional<bool> toBoolean(std::string_view text) {
    const std::string_view t = trimBlanks(text);
    if (equalsIgnoreCase(t, "true"))
        return true;
    if (equalsIgnoreCase(t, "false"))
        return false;
    if (const auto v = parseNumber(t))
        return *v != 0;
    return std::nullopt;
}

std::optional<std::int16_t> toInt16(std::string_view text) {
    if (const auto v = parseNumber(text))
        return roundToInt16(*v);
    return std::nullopt;
}

std::string flagText(bool b) {
    return b ? "True" : "False";
}

} // namespace kestle
