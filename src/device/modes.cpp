// SPDX-License-Identifier: GPL-3.0-or-later
// ECM modes, RF bands, the change band, and the wiring of the device's
// controls.
#include "device/acquisition.h"
#include "device/decode.h"
#include "support/convert.h"

namespace kestle::device {

void Acquisition::wire() {
    f_.ITC1->onClick = [this] { ITC1_Click(); };
    f_.ITC2->onClick = [this] { ITC2_Click(); };
    f_.ITC3->onClick = [this] { ITC3_Click(); };
    for (int i = 0; i < 11; ++i)
        f_.bands[static_cast<std::size_t>(i)]->onClick = [this, i] { bandClick(i); };
    f_.ofs->onChange = [this] { ofs_Change(); };
    f_.Command2->onClick = [this] { Command2_Click(); };
    f_.Slider2->onChange = [this] { Slider2_Change(); };
    f_.tempdisp->onDblClick = [this] { tempdisp_DblClick(); };
    f_.emfdisp->onDblClick = [this] { f_.calmag->setVisible(true); };
    f_.Command3->onClick = [this] { Command3_Click(); };
    f_.speechtimer->onTick = [this] { speechtimer_Timer(); };
    f_.htime->onTick = [this] {
        if (stages.phoneme)
            stages.phoneme();
    };
    // Scope menu: toggles, and an exclusive time base.
    for (forms::Control* c : {f_.TBon, f_.showab, f_.ShowA, f_.showb})
        c->onClick = [c] { c->setChecked(!c->checked()); };
    for (forms::Control* c : {f_.tb1, f_.tb5, f_.tb10, f_.tb100}) {
        c->onClick = [this, c] {
            for (forms::Control* o : {f_.tb1, f_.tb5, f_.tb10, f_.tb100})
                o->setChecked(o == c);
        };
    }
}

void Acquisition::ITC1_Click() {
    f_.ITC1->setChecked(true);
    f_.ITC2->setChecked(false);
    f_.ITC3->setChecked(false);
    f_.ITC4->setChecked(false);
    modeitc();
}

void Acquisition::ITC2_Click() {
    f_.ITC2->setChecked(true);
    f_.ITC1->setChecked(false);
    f_.ITC3->setChecked(false);
    f_.ITC4->setChecked(false);
    modeitc();
}

void Acquisition::ITC3_Click() {
    f_.ITC3->setChecked(true);
    f_.ITC2->setChecked(false);
    f_.ITC1->setChecked(false);
    f_.ITC4->setChecked(false);
    modeitc();
}

void Acquisition::modeitc() {
    f_.speechtimer->setEnabled(false);
    for (forms::Control* c :
         {f_.List1, f_.question, f_.clear_main, f_.Save_Main_display, f_.cancel})
        c->setVisible(true);
    f_.Option1[1]->click();
    f_.Frame9->move(f_.Frame9->left(), 5160);
    forms::menuon(f_);
    for (forms::Control* o : f_.Option1)
        o->setVisible(true);
    f_.ITCmnu->setEnabled(true);
    f_.RFmnu->setEnabled(true);
    f_.speechmnu->setEnabled(true);
}

void Acquisition::bandClick(int band) {
    forms::Control* item = f_.bands[static_cast<std::size_t>(band)];
    if (item->checked()) {
        item->setChecked(false);
        st_.rfid -= bandBit(band);
    } else {
        item->setChecked(true);
        st_.rfid += bandBit(band);
    }
}

void Acquisition::ofs_Change() {
    st_.offset = f_.ofs->value();
    f_.offsetdisp->setText(numText(f_.ofs->value()));
}

} // namespace kestle::device
