// SPDX-License-Identifier: GPL-3.0-or-later
// Temperature, the natural-EMF rose, and their calibration prompts.
#include "device/acquisition.h"
#include "device/decode.h"
#include "support/convert.h"

#include <algorithm>

namespace kestle::device {

Task Acquisition::getemf() {
    if (!(f_.ITC3->checked() || !f_.HSPh->checked()))
        co_return true;
    if (const bool ok = co_await exchange('%', false); !ok)
        co_return false;
    co_await waiter_.turn();
    st_.Temp = static_cast<std::int16_t>(st_.inbuf[5] + st_.tcal);
    st_.tempf = temperatureText(st_.Temp);
    f_.tempdisp->setText(st_.tempf);
    st_.state = 0;
    co_return true;
}

Task Acquisition::getnemf() {
    if (f_.HSPh->checked())
        co_return true;
    if (const bool ok = co_await exchange('/', false); !ok)
        co_return false;
    int s[4];
    for (int i = 0; i < 4; ++i) {
        s[i] = word(st_.inbuf[static_cast<std::size_t>(1 + 2 * i)],
                    st_.inbuf[static_cast<std::size_t>(2 + 2 * i)]);
        co_await waiter_.turn();
    }
    auto field = [this, &s](int sensor) { return sensorField(s[sensor - 1], st_.mag); };
    st_.emfC = fieldText(field(4));
    st_.emfD = fieldText(field(3));
    st_.emfE = fieldText(field(1));
    st_.emfF = fieldText(field(2));
    if (auto d = naturalDirection(s[0], s[1], s[2], s[3])) {
        for (int i = 0; i < 4; ++i)
            f_.Shape1[static_cast<std::size_t>(i)]->setColor(i == d->square ? forms::kRed
                                                                            : forms::kGreen);
        const double mG = field(d->displaySensor);
        f_.emfdisp->setText(fieldText(mG));
        st_.nemf = numText(mG);
    }
    st_.state = 0;
    co_return true;
}

void Acquisition::tempdisp_DblClick() {
    host_.inputBox("Cal", "Temperature Calibration", plainDecimal(st_.tcal),
                   [this](std::optional<std::string> answer) {
                       // An empty or cancelled answer gives 0; out of range is clamped.
                       double v = answer ? leadingNumber(*answer) : 0;
                       v = std::clamp(v, -32768.0, 32767.0);
                       st_.tcal = roundToInt16(v).value_or(0);
                   });
}

void Acquisition::Command3_Click() {
    struct Step {
        const char* caption;
        const char* next;
        const char* text;
    };
    static const Step steps[] = {
        {"NORTH", "SOUTH", "Align Kestle Facing South as Shown, Then Press South"},
        {"SOUTH", "EAST", "Align Kestle Facing East as Shown, Then Press East"},
        {"EAST", "WEST", "Align Kestle Facing West as Shown, Then Press West"},
        {"WEST", "NORTH", "Align Kestle Facing North as Shown, Then Press North"},
    };
    for (const Step& s : steps) {
        if (f_.Command3->text() == s.caption) {
            f_.Command3->setText(s.next);
            f_.cap1->setText(s.next);
            f_.Lab1->setText(s.text);
            if (std::string(s.caption) == "WEST")
                f_.calmag->setVisible(false);
            return;
        }
    }
}

} // namespace kestle::device
