// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's form-level variables, shared by the stages of the
// acquisition cycle and the handlers. Window thread only.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestle::forms {

struct MainState {
    // Report exchange.
    std::array<std::uint8_t, 9> inbuf{};
    std::array<std::uint8_t, 9> outbuf{};
    std::int16_t dataread = 0;
    std::int16_t state = 0; // 1 while a cycle step is in flight

    // Channel sampling (levels in converter counts).
    double ava1 = 0, avb1 = 0;
    std::int16_t mag = 0;
    std::string emfA, emfB;

    // Working values of the last get_data call; unset counts as 0 / "".
    std::optional<double> frequencya, frequencyb, frequencyav;
    std::optional<int> rfhit;
    std::optional<int> nochange;

    // Smoothed level. Held in 32 bits so that frequency sums cannot overflow.
    std::int32_t threshold = 0, oldthreshold = 0;
    std::int16_t trend = 0;
    std::int32_t offset = 0;
    std::int16_t repeat_word = 0;
    std::int32_t rfid = 0;

    // Temperature and natural EMF.
    std::int16_t Temp = 0;
    std::string tempf;
    std::int16_t tcal = 0;
    std::string mcal;
    std::string emfC, emfD, emfE, emfF, nemf;

    // Word selection.
    std::int16_t done_talk = 0;
    std::array<std::int32_t, 101> history{};
    std::int16_t historyPos = 0;
    std::string fword;
    std::int32_t ch1 = 0, ch2 = 0, ch3 = 0, ch4 = 0;
    std::int16_t usword = 0;

    // Alarms: limits as texts, in check order (AvoltA ... AtempB).
    std::array<std::string, 12> alarmLimits;
    std::string emfav;

    // Shell and records.
    std::string appath;
    std::string tem;
    std::int16_t nag = 0;
    std::int32_t session = 0;
    std::int16_t Asession = 0, Bsession = 0, aud = 0;
};

// Names of the twelve alarm limit variables, in check order.
inline constexpr std::array<const char*, 12> kAlarmLimitNames = {
    "AvoltA", "AvoltB", "AvfreqA", "AvfreqB", "AthreshholdA", "AthreshholdB",
    "AemfA",  "AemfB",  "AemfnA",  "AemfnB",  "AtempA",       "AtempB"};

} // namespace kestle::forms
