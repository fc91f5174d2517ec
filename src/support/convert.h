// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Number and text conversions shared by every display, log and setting.
// Each rule lives here once; callers never format numbers on their own.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestle {

// Plain number-to-text conversion: a leading blank for non-negative numbers,
// "-" for negative ones, then the plain decimal digits (" 523", "-10", " 12.5").
std::string numText(double v);

// Plain decimal string of a double: at most 15 significant digits, no
// exponent for ordinary magnitudes, no trailing zeros, no leading blank
// ("520.583333333333", "2.6123046875", "0.5", "12.5", "0", "-3").
// Magnitudes from 1e-15 to 1e15 are written out in full; others take the
// form "1.5E+16" / "1E-16". Negative zero gives "0"; NaN and infinities give
// "NaN", "Inf" and "-Inf". Independent of the C locale.
std::string plainDecimal(double v);

// Format masks made of '#', '0' and '.', as used by the displays: "#.00"
// (0.49 -> ".49", 2.5 -> "2.50") and "##.##" (0 -> ".", 72 -> "72.",
// 12.345 -> "12.35"). Rounding is half away from zero on the decimal value
// (the number's 15-digit decimal form, so 2.675 with "#.00" gives "2.68").
// Before the point '#' is an optional and '0' a forced digit; the integer
// part is never cut short. After the point '0' digits are always written and
// '#' digits only when not trailing zeros. The point is always written when
// the mask has one. A negative value gets "-" in front unless it rounds to
// zero. Characters other than '#', '0' and '.' before or after the digits are
// copied as they stand.
std::string formatMask(double v, std::string_view mask);

// Round half to even into a 16-bit signed integer (100.5 -> 100,
// 101.5 -> 102). Values outside the 16-bit range give nullopt.
std::optional<std::int16_t> roundToInt16(double v);

// Round half to even into a 32-bit signed integer; out-of-range values are
// clamped to the int32 range, NaN gives 0.
std::int32_t roundToInt32(double v);

// The leading numeric part of a text: blanks, tabs and line feeds are
// ignored wherever they stand ("1 2" -> 12), then an optional sign, digits,
// an optional point with digits and an optional exponent [eEdD][+-]digits;
// anything after that is ignored. Empty or no digits gives 0.
// ("" -> 0, "1.2.3" -> 1.2, "  7" -> 7, "12.5 mG" -> 12.5). A number beyond
// the double range gives an infinity.
double leadingNumber(std::string_view text);

// Whole text as a number (leading and trailing blanks and tabs allowed):
// sign, digits, point, exponent as for leadingNumber but nothing else and no
// inner blanks; nullopt when the text is not a number ("", "1x", "1.2.3").
std::optional<double> parseNumber(std::string_view text);

// Boolean conversion of a settings value: "True"/"False" in any case, or a
// number (0 is false, any other number true). Anything else gives nullopt.
std::optional<bool> toBoolean(std::string_view text);

// Integer conversion of a settings value: a number, rounded half to even,
// that fits in 16 bits; anything else gives nullopt.
std::optional<std::int16_t> toInt16(std::string_view text);

// "True" or "False", as the settings file stores flags.
std::string flagText(bool b);

} // namespace kestle
