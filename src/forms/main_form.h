// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's controls, with the names the handlers use. Behaviour
// lives in the handlers; this is the design-time state of the form.
#include "forms/form.h"
#include "forms/vid2_form.h"

#include <array>

namespace kestle::forms {

// The main window's designed caption (the program's name and version).
inline constexpr const char* kMainCaption = "The Vantic Kestle Version 2.00";

class MainForm : public Form {
  public:
    explicit MainForm(Scheduler& sched);

    // Top-level menus, in menu-bar order.
    Control *Filemnu, *ITCmnu, *RFmnu, *speechmnu, *av0, *alarmsmnu, *Logmnu, *scopemnu, *exp0,
        *helpmnu;
    // File
    Control *usr, *exout;
    // ECM
    Control *ITC1, *ITC2, *ITC3, *ITC4, *itcpro;
    // RF bands, in band order (0 to 30 Hz ... Above 25 KHz).
    std::array<Control*, 11> bands;
    Control *subhz, *lowhz, *lowhz1, *lowhz2, *lowhz3, *lowmidhz, *midhz1, *midhz2, *highhz1,
        *highhz2, *highHZ3;
    // Speech
    Control *speechON, *phoneon, *phbrake, *HSPh, *tsphone, *rsphone;
    // PC A/V
    Control *av11, *av1, *av7, *vo2, *vo3, *vo4, *av2, *av3, *av4, *av8, *vidtext;
    // Alarms: the twelve limits in check order, then "Show Alarm Window".
    std::array<Control*, 12> alarms;
    Control* alarm13;
    // Log File
    Control *logtext, *logfileon, *logfilerf, *logalarm, *veiwall;
    // Scope
    Control *TBon, *tb0, *tb1, *tb5, *tb10, *tb100, *showab, *ShowA, *showb;
    // EXP Devices entries
    std::array<Control*, 5> expItems;
    // Help
    Control *abdd, *usedd;

    // Presence frame.
    Control *Frame7, *Label3;
    // Phoneme run panel.
    Control *Frame9, *Command2, *Slider2, *Text1;
    std::array<Control*, 4> Check1;
    // Question panel.
    Control *Frame3, *question, *cancel, *clear_main, *Save_Main_display;
    std::array<Control*, 8> Option1;
    // Reading displays.
    Control *Frame1, *FREQA, *FREQB, *CHA_DSP, *CHB_DSP, *TRENDDSP, *tholddsp, *EMFdisplay1, *ofs,
        *offsetdisp;
    // EMF and temperature.
    Control *Frame4, *tempdisp, *emfdisp, *Frame8;
    std::array<Control*, 4> Shape1;
    // Compass alignment panel.
    Control *calmag, *Picture1, *cap1, *Command3, *Lab1;
    // Texts and lists.
    Control *main_display, *veiwlog, *alarmdisplay, *List1, *oscope;
    std::array<Control*, 2> lcontrol;
    // Timers.
    Timer *speechtimer, *htime, *asktimer;

    // The top-level menus that menuon/menuoff switch, in their order.
    std::array<Control*, 8> lockedMenus() const {
        return {Filemnu, ITCmnu, RFmnu, speechmnu, alarmsmnu, Logmnu, scopemnu, helpmnu};
    }
};

// Lock and unlock the menu bar as a whole (top-level menus, the list
// buttons, "PC A/V" and "EXP Devices"); individual items are not touched.
void menuoff(MainForm& f);
void menuon(MainForm& f);

// The start-up disclaimer.
class SplashForm : public Form {
  public:
    SplashForm();
    Control *Text1, *Check2, *Command1, *Command2;
};

// "About The Kestle".
class AboutForm : public Form {
  public:
    AboutForm();
    Control *cmdOK, *cmdSysInfo, *Label1, *lblDescription, *lblTitle, *lblVersion, *lblDisclaimer;
};

// The picture form used by the screen capture.
class CVForm : public Form {
  public:
    CVForm();
    Control* Picture1;
};

} // namespace kestle::forms
