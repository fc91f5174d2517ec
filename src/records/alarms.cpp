// SPDX-License-Identifier: GPL-3.0-or-later
// The twelve alarm limits, their checks in every get_data call, and the
// alarm window's summary.
#include "device/decode.h"
#include "records/records.h"
#include "support/convert.h"

#include <array>

namespace kestle::records {

namespace {

enum class Reading { Volts, Frequency, Threshold, Emf, NaturalEmf, Temperature };

struct AlarmDef {
    const char* prompt;
    const char* word;
    const char* unit;
    Reading reading;
    bool above;
    // Limits 2-6 are stored as the number's text, the others as typed digits.
    bool storeAsNumber;
};

// In check order.
constexpr std::array<AlarmDef, 12> kAlarms = {{
    {"Voltage Above 0 to 5 volts IE:.01 or 3.21", " Voltage Above ", " Vdc", Reading::Volts, true,
     false},
    {"Voltage Below 0 to 5 volts IE:.01 or 3.21", " Voltage Below ", " Vdc", Reading::Volts, false,
     true},
    {"Frequency Above 0 Hz to 65Khz volts IE:1 or 3210", " Frequency Above ", " Hz",
     Reading::Frequency, true, true},
    {"Frequency Below 0 Hz to 65Khz volts IE:1 or 3210", " Frequency Below ", " Hz",
     Reading::Frequency, false, true},
    {"Threshold Above 0 to 2048 counts IE: 1 or 321", " Threshhold Above ", " Level",
     Reading::Threshold, true, true},
    {"Threshold Below  1 to 2048 counts IE: 1 or 321", " Threshhold Below ", " Level",
     Reading::Threshold, false, true},
    {"EMF Above 0 to 200 mG IE: 1 or 32", " EMF Above ", " mG", Reading::Emf, true, false},
    {"EMF Below 1 to 20 mG IE: 1 or 32", " EMF Below ", " mG", Reading::Emf, false, false},
    {"EMF (N) Above 1 to 20 mG IE: 1 or 32", " EMF (N) Above ", " mG (N)", Reading::NaturalEmf,
     true, false},
    {"EMF (N) Below 0 to 200 mG IE: 1 or 32", " EMF(N) Below ", " mG (N)", Reading::NaturalEmf,
     false, false},
    {"Temperature Above 32 to 120 F IE: 32 or 120", " Temperature Above ", " F",
     Reading::Temperature, true, false},
    {"Temperature Below 32 to 120 F IE: 32 or 120", " Temperature Below ", " F",
     Reading::Temperature, false, false},
}};

struct Value {
    double number;
    std::string text;
};

} // namespace

void Records::numstring() {
    std::string kept;
    for (char c : st_.tem) {
        if (c == '.' || (c >= '0' && c <= '9'))
            kept += c;
    }
    st_.tem = kept;
}

void Records::alarmClick(int n) {
    if (n < 0 || n >= 12)
        return;
    const auto i = static_cast<std::size_t>(n);
    host_.inputBox(
        "Alarm Settings", kAlarms[i].prompt, "", [this, i](std::optional<std::string> answer) {
            st_.tem = answer.value_or("");
            // The check mark follows the text as typed, before filtering.
            f_.alarms[i]->setChecked(!st_.tem.empty());
            numstring();
            st_.alarmLimits[i] =
                kAlarms[i].storeAsNumber ? plainDecimal(leadingNumber(st_.tem)) : st_.tem;
        });
}

void Records::alarm13_Click() {
    if (f_.alarm13->checked()) {
        f_.alarmdisplay->setVisible(false);
        f_.alarm13->setChecked(false);
        return;
    }
    f_.alarmdisplay->setVisible(true);
    f_.alarm13->setChecked(true);
    const auto& l = st_.alarmLimits;
    const std::string summary = l[0] + " Volts+ " + l[1] + " Volts- " + l[2] + " Hz+ " + l[3] +
                                " Hz- " + l[4] + " Counts+ " + l[5] + " Counts- " + "\r\n" + l[6] +
                                " mG+ " + l[7] + " mG- " + l[8] + " N mG+ " + l[9] + " N mG- " +
                                l[10] + " F+ " + l[11] + " F- " + "\r\n";
    f_.alarmdisplay->setText(summary + f_.alarmdisplay->text());
}

void Records::alarmStage() {
    st_.emfav = plainDecimal(leadingNumber(f_.EMFdisplay1->text()));
    // The channel volts are working values of the exchange: a call that
    // skipped it (no frequency decoded) reads 0 V.
    const double volts = st_.frequencya ? (st_.ava1 + st_.avb1) * device::kVoltsPerHalfCount : 0.0;
    alarmTripped_ = 0;

    auto reading = [&](Reading r) -> Value {
        switch (r) {
        case Reading::Volts:
            return {volts, plainDecimal(volts)};
        case Reading::Frequency:
            return {st_.frequencyav.value_or(0),
                    st_.frequencyav ? plainDecimal(*st_.frequencyav) : std::string()};
        case Reading::Threshold:
            return {double(st_.threshold), std::to_string(st_.threshold)};
        case Reading::Emf:
            return {leadingNumber(st_.emfav), st_.emfav};
        case Reading::NaturalEmf:
            return {leadingNumber(st_.nemf), st_.nemf};
        case Reading::Temperature:
            return {double(st_.Temp), std::to_string(st_.Temp)};
        }
        return {0, {}};
    };

    events::Alarm tripped;
    for (std::size_t i = 0; i < kAlarms.size(); ++i) {
        const AlarmDef& a = kAlarms[i];
        if (!f_.alarms[i]->checked())
            continue;
        const Value v = reading(a.reading);
        const double limit = leadingNumber(st_.alarmLimits[i]);
        if (a.above ? !(v.number > limit) : !(v.number < limit))
            continue;
        const std::string line =
            timeStamp() + a.word + st_.alarmLimits[i] + " Value = " + v.text + a.unit + "\r\n";
        f_.alarmdisplay->appendText(line);
        if (f_.logalarm->checked())
            writeLog(Log::Alarm, f_.logalarm, line);
        alarmTripped_ = 1;
        tripped.text += line;
        tripped.trips.push_back({static_cast<int>(i), v.number, st_.alarmLimits[i]});
    }
    if (alarmTripped_ && onAlarm)
        onAlarm(std::move(tripped));
}

} // namespace kestle::records
