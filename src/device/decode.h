// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pure decoding and display texts of the Kestle's readings.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestle::device {

// 16-bit value of two answer bytes, high byte first.
inline int word(std::uint8_t hi, std::uint8_t lo) {
    return hi * 256 + lo;
}

// Volts of a channel level in converter counts (5 V over 1024 counts).
inline constexpr double kVoltsPerCount = 0.0048828125;
// Volts of a threshold level, and of the mean of both channels (5/2048).
inline constexpr double kVoltsPerHalfCount = 0.00244140625;

// " 523 Hz" below 1000 Hz, " 12.5KHz" from 1000 Hz on.
std::string frequencyText(double hz);
// Mask "#.00" and " VDC": ".49 VDC", "2.50 VDC".
std::string voltsText(double volts);

// The eleven RF bands in menu order; bounds in Hz, both included.
struct Band {
    double lo, hi;
};
const std::array<Band, 11>& bands();
// Bit value of band i in the band mask (1, 2, 4 ... 1024).
inline int bandBit(int i) {
    return 1 << i;
}
// True when `hz` lies in a ticked band.
bool inTickedBand(double hz, const std::array<bool, 11>& ticked);

// Temperature text: mask "##.##" and " F" (72 gives "72. F").
std::string temperatureText(int fahrenheit);

// Field of a magnetic sensor value in milligauss: (s - 500) * mag / 1000.
double sensorField(int s, int mag);
// The field as shown: " 10 mG", "-10 mG".
std::string fieldText(double mG);

// The natural-EMF direction rule: which square lights and whose field shows.
struct Direction {
    int row;           // 1-16, the first rule that held
    int square;        // index of Shape1: 0 top, 1 right, 2 bottom, 3 left
    int displaySensor; // 1-4: s1 ... s4
};
// nullopt when all four values are equal (nothing changes).
std::optional<Direction> naturalDirection(int s1, int s2, int s3, int s4);

} // namespace kestle::device
