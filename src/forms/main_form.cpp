// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/main_form.h"

#include <string>

namespace kestle::forms {

namespace {

std::string indexed(const std::string& base, int i) {
    return base + "(" + std::to_string(i) + ")";
}

Control* item(Form& f, const char* name, const char* caption, Control* parent,
              bool checked = false) {
    Control& c = f.add(name, Kind::Menu, parent);
    c.setText(caption);
    c.setChecked(checked);
    return &c;
}

Control* ctl(Form& f, const std::string& name, Kind kind, const std::string& text = {},
             Control* parent = nullptr) {
    Control& c = f.add(name, kind, parent);
    c.setText(text);
    return &c;
}

void unavailable(Control* c) {
    c->setEnabled(false);
    c->setVisible(false);
}

} // namespace

MainForm::MainForm(Scheduler& sched) : Form("mainform") {
    setCaption(kMainCaption);

    Filemnu = item(*this, "Filemnu", "File", nullptr);
    usr = item(*this, "usr", "Upload User Word List", Filemnu);
    exout = item(*this, "exout", "Exit", Filemnu);

    ITCmnu = item(*this, "ITCmnu", "ECM", nullptr);
    ITC1 = item(*this, "ITC1", "ECM Voltage Mode", ITCmnu, true);
    ITC2 = item(*this, "ITC2", "ECM Frequency Mode", ITCmnu);
    ITC3 = item(*this, "ITC3", "ECM EMF", ITCmnu);
    ITC4 = item(*this, "ITC4", "ECM OFF", ITCmnu);
    unavailable(ITC4);
    itcpro = item(*this, "itcpro", "ZEV ADA", ITCmnu);
    itcpro->setEnabled(false); // shown greyed until Restore hides it

    RFmnu = item(*this, "RFmnu", "RF ", nullptr);
    subhz = item(*this, "subhz", "0 to 30 Hz", RFmnu);
    lowhz = item(*this, "lowhz", "30 to 60 Hz", RFmnu);
    lowhz1 = item(*this, "lowhz1", "60 to 120 Hz", RFmnu);
    lowhz2 = item(*this, "lowhz2", "120 to 240 Hz", RFmnu);
    lowhz3 = item(*this, "lowhz3", "240 to 500 Hz", RFmnu);
    lowmidhz = item(*this, "lowmidhz", "500 to 1 KHz", RFmnu);
    midhz1 = item(*this, "midhz1", "1 to 5 Khz", RFmnu);
    midhz2 = item(*this, "midhz2", "5 to 10 KHz", RFmnu);
    highhz1 = item(*this, "highhz1", "10 to 15 KHz", RFmnu);
    highhz2 = item(*this, "highhz2", "15 to 25 KHz", RFmnu);
    highHZ3 = item(*this, "highHZ3", "Above 25 KHz", RFmnu);
    bands = {subhz,  lowhz,  lowhz1,  lowhz2,  lowhz3, lowmidhz,
             midhz1, midhz2, highhz1, highhz2, highHZ3};

    speechmnu = item(*this, "speechmnu", "Speech ", nullptr);
    speechON = item(*this, "speechON", "Speech On", speechmnu);
    phoneon = item(*this, "phoneon", "Phonemes On", speechmnu);
    phbrake = item(*this, "phbrake", "Phoneme Breaks On", speechmnu, true);
    HSPh = item(*this, "HSPh", "High Speed Phoneme", speechmnu);
    tsphone = item(*this, "tsphone", "Time Slice Phoneme", speechmnu);
    rsphone = item(*this, "rsphone", "Random Time Slice Phoneme", speechmnu);

    av0 = item(*this, "av0", "PC A/V", nullptr);
    av11 = item(*this, "av11", "PC Video Capture", av0);
    av1 = item(*this, "av1", "Video Capture On", av11);
    av7 = item(*this, "av7", "Image QA Capture", av11);
    vo2 = item(*this, "vo2", "Image Capture on Alarm", av11);
    vo3 = item(*this, "vo3", "Video QA Capture", av11);
    unavailable(vo3);
    vo4 = item(*this, "vo4", "Video Capture on Alarm", av11);
    unavailable(vo4);
    av2 = item(*this, "av2", "PC Audio Capture", av0);
    av3 = item(*this, "av3", "Constant", av2);
    av4 = item(*this, "av4", "QA Capture", av2);
    av8 = item(*this, "av8", "Capture On Alarm", av2);
    vidtext = item(*this, "vidtext", "Audio Video Setup", av0);

    alarmsmnu = item(*this, "alarmsmnu", "Alarms", nullptr);
    alarms = {item(*this, "Alarm1", "Voltage above", alarmsmnu),
              item(*this, "alarm2", "Voltage below", alarmsmnu),
              item(*this, "alarm3", "Frequency Above", alarmsmnu),
              item(*this, "alarm4", "Fequency Below", alarmsmnu),
              item(*this, "alarm5", "Threshold Above", alarmsmnu),
              item(*this, "alarm6", "Threshhold Below", alarmsmnu),
              item(*this, "alarm7", "EMF Above", alarmsmnu),
              item(*this, "Alarm8", "EMF Below", alarmsmnu),
              item(*this, "alarm9", "EMF (N) Above", alarmsmnu),
              item(*this, "Alarm10", "EMF (N) Below", alarmsmnu),
              item(*this, "alarm11", "Temperature Above", alarmsmnu),
              item(*this, "alarm12", "Temperature Below", alarmsmnu)};
    alarm13 = item(*this, "alarm13", "Show Alarm Window", alarmsmnu);

    Logmnu = item(*this, "Logmnu", "Log File", nullptr);
    logtext = item(*this, "logtext", "Review Screen text", Logmnu);
    logfileon = item(*this, "logfileon", "Data Log On", Logmnu);
    logfilerf = item(*this, "logfilerf", "RF / Threshold Log On", Logmnu);
    logalarm = item(*this, "logalarm", "Log Alarms", Logmnu);
    veiwall = item(*this, "veiwall", "View Logs and Screen Shots", Logmnu);

    scopemnu = item(*this, "scopemnu", "Scope", nullptr);
    TBon = item(*this, "TBon", "Scope On", scopemnu, true);
    tb0 = item(*this, "tb0", "Time Base", scopemnu);
    tb1 = item(*this, "tb1", " 1 ms per division", tb0);
    tb5 = item(*this, "tb5", " 5 ms per division", tb0);
    tb10 = item(*this, "tb10", "10 ms per division", tb0);
    tb100 = item(*this, "tb100", "100 ms per division", tb0, true);
    showab = item(*this, "showab", "ShowChannels A + B", scopemnu, true);
    ShowA = item(*this, "ShowA", "Show Channel A", scopemnu);
    showb = item(*this, "showb", "Show Channel B", scopemnu);

    // Companion devices of the same maker; none can be chosen.
    exp0 = item(*this, "exp0", "EXP Devices", nullptr);
    exp0->setEnabled(false);
    const char* expNames[5] = {"Vantic Wisp Box", "Vantic Lantern", "Vantic Echo Recorder",
                               "Vantic Thermal Probe", "Vantic Field Meter"};
    for (int i = 0; i < 5; ++i) {
        std::string name = "exp" + std::to_string(i + 1);
        expItems[static_cast<std::size_t>(i)] = item(*this, name.c_str(), expNames[i], exp0);
        expItems[static_cast<std::size_t>(i)]->setEnabled(false);
    }

    helpmnu = item(*this, "helpmnu", "Help", nullptr);
    abdd = item(*this, "abdd", "About Corvane", helpmnu);
    usedd = item(*this, "usedd", "Using this Device", helpmnu);

    // The items the program checks and unchecks; the others are commands.
    for (Control* c : {ITC1, ITC2,    ITC3,    ITC4,    itcpro,  speechON,  phoneon,   phbrake,
                       HSPh, tsphone, rsphone, av1,     av7,     vo2,       vo3,       vo4,
                       av3,  av4,     av8,     alarm13, logtext, logfileon, logfilerf, logalarm,
                       TBon, tb1,     tb5,     tb10,    tb100,   showab,    ShowA,     showb})
        c->setCheckable(true);
    for (Control* c : bands)
        c->setCheckable(true);
    for (Control* c : alarms)
        c->setCheckable(true);

    // Presence frame: designed below the visible area; the load step moves it.
    Frame7 = ctl(*this, "Frame7", Kind::Frame);
    Frame7->setGeometry(0, 9000, 12135, 8775);
    Label3 = ctl(*this, "Label3", Kind::Label, "KESTLE NOT PRESENT!", Frame7);
    Label3->setGeometry(1680, 3000, 9495, 4095);

    Frame1 = ctl(*this, "Frame1", Kind::Frame, "Readings");
    FREQA = ctl(*this, "FREQA", Kind::Label, {}, Frame1);
    FREQB = ctl(*this, "FREQB", Kind::Label, {}, Frame1);
    FREQA->setColor(kCyan);
    FREQB->setColor(kCyan);
    CHA_DSP = ctl(*this, "CHA_DSP", Kind::Label, {}, Frame1);
    CHB_DSP = ctl(*this, "CHB_DSP", Kind::Label, {}, Frame1);
    TRENDDSP = ctl(*this, "TRENDDSP", Kind::Label, {}, Frame1);
    tholddsp = ctl(*this, "tholddsp", Kind::Label, {}, Frame1);
    EMFdisplay1 = ctl(*this, "EMFdisplay1", Kind::TextBox, {}, Frame1);
    ofs = ctl(*this, "ofs", Kind::Slider, {}, Frame1);
    ofs->setRange(1, 100);
    ofs->setValue(5);
    ofs->setToolTip("Offset Level");
    offsetdisp = ctl(*this, "offsetdisp", Kind::TextBox, "5", Frame1);
    offsetdisp->setToolTip("Offset Level");

    Frame4 = ctl(*this, "Frame4", Kind::Frame, "EMF and Temperature");
    tempdisp = ctl(*this, "tempdisp", Kind::TextBox, "       70 F", Frame4);
    emfdisp = ctl(*this, "emfdisp", Kind::TextBox, "     0 mg", Frame4);
    Frame8 = ctl(*this, "Frame8", Kind::Frame, "Natural EMF Direction", Frame4);
    for (int i = 0; i < 4; ++i) {
        Control* s = ctl(*this, indexed("Shape1", i), Kind::Shape, {}, Frame8);
        s->setColor(kGreen);
        Shape1[static_cast<std::size_t>(i)] = s;
    }

    Frame3 = ctl(*this, "Frame3", Kind::Frame, "Questions");
    question = ctl(*this, "question", Kind::TextBox, {}, Frame3);
    question->setColor(kSilver);
    question->setToolTip("Type Questions here!");
    const char* answerTimes[8] = {"3 sec", "5 sec",  "10 sec", "15 sec",
                                  "25sec", "45 sec", "60 sec", " Constant"};
    for (int i = 0; i < 8; ++i) {
        Control* o = ctl(*this, indexed("Option1", i), Kind::Option, answerTimes[i], Frame3);
        o->setToolTip("Set time to answer Questions");
        Option1[static_cast<std::size_t>(i)] = o;
    }
    Option1[1]->setChecked(true);
    cancel = ctl(*this, "cancel", Kind::Button, "Cancel Constant mode", Frame3);
    clear_main = ctl(*this, "clear_main", Kind::Button, "Clear Display", Frame3);
    Save_Main_display = ctl(*this, "Save_Main_display", Kind::Button, "Capture Display", Frame3);

    Frame9 = ctl(*this, "Frame9", Kind::Frame, "Time Slice Phonemes");
    Frame9->setGeometry(1920, 9000, 4800, 1500);
    Frame9->setVisible(false); // shown by the time-slice layout
    Command2 = ctl(*this, "Command2", Kind::Button, "PHONEME START", Frame9);
    Slider2 = ctl(*this, "Slider2", Kind::Slider, {}, Frame9);
    Slider2->setRange(1, 200);
    Slider2->setValue(35);
    Text1 = ctl(*this, "Text1", Kind::TextBox, "35", Frame9);
    for (int i = 0; i < 4; ++i) {
        Control* c = ctl(*this, indexed("Check1", i), Kind::CheckBox,
                         "Voice #" + std::to_string(i + 1), Frame9);
        c->setRange(0, 1);
        c->setValue(i == 0 ? 1 : 0);
        c->setVisible(false);
        Check1[static_cast<std::size_t>(i)] = c;
    }

    calmag = ctl(*this, "calmag", Kind::Frame, "Compass Alignment");
    calmag->setVisible(false);
    Picture1 = ctl(*this, "Picture1", Kind::Picture, {}, calmag);
    cap1 = ctl(*this, "cap1", Kind::Label, "NORTH", calmag);
    Command3 = ctl(*this, "Command3", Kind::Button, "NORTH", calmag);
    Lab1 = ctl(*this, "Lab1", Kind::Label, "Align Kestle Facing North as Shown, Then Press North",
               calmag);

    main_display = ctl(*this, "main_display", Kind::Label);
    veiwlog = ctl(*this, "veiwlog", Kind::TextBox);
    veiwlog->setToolTip("Current Sceen Text last 32k characters");
    alarmdisplay = ctl(*this, "alarmdisplay", Kind::TextBox);
    alarmdisplay->setToolTip("Alarm Screen");
    alarmdisplay->setVisible(false); // shown by "Show Alarm Window"
    List1 = ctl(*this, "List1", Kind::ListBox);
    List1->setColor(kLightGrey);
    List1->setToolTip("Current List of words or Phonemes being Chose from");
    lcontrol[0] = ctl(*this, indexed("lcontrol", 0), Kind::Button, "Shuffle");
    lcontrol[0]->setToolTip("Shuffle The List");
    lcontrol[1] = ctl(*this, indexed("lcontrol", 1), Kind::Button, "Restore");
    lcontrol[1]->setToolTip("Restore the Software default List");
    oscope = ctl(*this, "oscope", Kind::Picture);
    oscope->setGeometry(8760, 120, 3015, 2535);

    speechtimer = &addTimer("speechtimer", sched, 10);
    htime = &addTimer("htime", sched, 35);
    asktimer = &addTimer("asktimer", sched, 5000);
}

void menuoff(MainForm& f) {
    for (Control* m : f.lockedMenus())
        m->setEnabled(false);
    f.lcontrol[0]->setEnabled(false);
    f.lcontrol[1]->setEnabled(false);
    f.av0->setEnabled(false);
    f.exp0->setEnabled(false);
}

void menuon(MainForm& f) {
    for (Control* m : f.lockedMenus())
        m->setEnabled(true);
    f.lcontrol[0]->setEnabled(true);
    f.lcontrol[1]->setEnabled(true);
    f.av0->setEnabled(true);
    f.exp0->setEnabled(true);
}

SplashForm::SplashForm() : Form("frmSplash") {
    setCaption("The Vantic Kestle");
    Text1 = &add("Text1", Kind::TextBox);
    Text1->setText(
        "The Vantic Kestle is a field instrument for the investigation of reported "
        "hauntings. It measures voltages, frequencies, magnetic fields and temperature and "
        "turns their changes into words.\r\n\r\n"
        "Disclaimer: the words, sounds and alarms this software produces come from "
        "electrical readings. They are offered for research and entertainment only and are "
        "no proof of any kind. Corvane gives no warranty for this software, its results or "
        "its fitness for any purpose. You use the instrument and this software at your own "
        "risk and are responsible for your own safety and that of others on site.");
    Check2 = &add("Check2", Kind::CheckBox);
    Check2->setText("I have read the Disclaimer and I Agree." + std::string(66, ' ') +
                    "I am over 18." + std::string(106, ' ') +
                    "I understand that I am responsible for this software and its use");
    Check2->setRange(0, 1);
    Command1 = &add("Command1", Kind::Button);
    Command1->setText("Agree");
    Command2 = &add("Command2", Kind::Button);
    Command2->setText("Disagree");
    add("lblProduct", Kind::Label).setText("The Vantic Kestle");
    add("lblVersion", Kind::Label).setText("Version 2.0");
    add("lblPlatform", Kind::Label).setText("Platform WIN XP  & Vista");
    add("lblMaker", Kind::Label).setText("Corvane");
    add("lblRead", Kind::Label).setText("Please read the terms below before you go on.");
}

AboutForm::AboutForm() : Form("About") {
    setCaption("About The Kestle");
    cmdOK = &add("cmdOK", Kind::Button);
    cmdOK->setText("OK");
    cmdSysInfo = &add("cmdSysInfo", Kind::Button);
    cmdSysInfo->setText("&System Info...");
    Label1 = &add("Label1", Kind::Label);
    lblDescription = &add("lblDescription", Kind::Label);
    lblDescription->setText("Companion software for the Vantic Kestle field sensor unit.\r\n"
                            "Free software under the GNU GPL version 3 or later; no warranty.");
    lblTitle = &add("lblTitle", Kind::Label);
    lblTitle->setText("The Vantic Kestle - Corvane");
    lblVersion = &add("lblVersion", Kind::Label);
    lblVersion->setText("Version 2.0 December 2026");
    lblDisclaimer = &add("lblDisclaimer", Kind::Label);
    lblDisclaimer->setText("Questions and support: see the manual, Vantic_Kestle.pdf.");
}

CVForm::CVForm() : Form("CVform") {
    setCaption("Verified Output ");
    Picture1 = &add("Picture1", Kind::Picture);
    Picture1->setGeometry(0, 0, 573 * 15, 381 * 15);
}

} // namespace kestle::forms
