// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/layouts.h"

namespace kestle::ui {

const Layout& mainLayout() {
    static const Layout l = {
        {"Frame7", {0, 0, 12135, 8775}},
        {"Label3", {1680, 3000, 9495, 4095}},

        {"Frame1", {120, 60, 4200, 2640}},
        {"FREQA", {240, 480, 1800, 360}},
        {"FREQB", {2160, 480, 1800, 360}},
        {"CHA_DSP", {240, 1080, 1800, 300}},
        {"CHB_DSP", {2160, 1080, 1800, 300}},
        {"tholddsp", {240, 1680, 1800, 300}},
        {"TRENDDSP", {2160, 1680, 600, 300}},
        {"EMFdisplay1", {240, 2220, 1800, 330}},
        {"ofs", {2160, 2220, 1320, 330}},
        {"offsetdisp", {3540, 2220, 540, 330}},

        {"Frame4", {4440, 60, 4200, 2640}},
        {"tempdisp", {240, 480, 1800, 330}},
        {"emfdisp", {240, 1260, 1800, 330}},
        {"Frame8", {2160, 240, 1920, 2280}},
        {"Shape1(0)", {892, 480, 135, 135}},
        {"Shape1(1)", {1500, 1080, 135, 135}},
        {"Shape1(2)", {892, 1680, 135, 135}},
        {"Shape1(3)", {285, 1080, 135, 135}},

        {"oscope", {8760, 120, 3015, 2535}},
        {"List1", {8760, 2760, 3015, 2880}},
        {"lcontrol(0)", {8760, 5700, 1440, 375}},
        {"lcontrol(1)", {10335, 5700, 1440, 375}},
        {"alarmdisplay", {8760, 6180, 3015, 2280}},

        {"Frame3", {120, 2760, 8520, 1800}},
        {"question", {120, 240, 3600, 1380}},
        {"Option1(0)", {3840, 240, 960, 300}},
        {"Option1(1)", {3840, 540, 960, 300}},
        {"Option1(2)", {3840, 840, 960, 300}},
        {"Option1(3)", {3840, 1140, 960, 300}},
        {"Option1(4)", {4860, 240, 960, 300}},
        {"Option1(5)", {4860, 540, 960, 300}},
        {"Option1(6)", {4860, 840, 960, 300}},
        {"Option1(7)", {4860, 1140, 1200, 300}},
        {"cancel", {6120, 240, 2280, 375}},
        {"clear_main", {6120, 660, 2280, 375}},
        {"Save_Main_display", {6120, 1080, 2280, 375}},

        {"Frame9", {1920, 3960, 4800, 1500}},
        {"Command2", {120, 240, 1800, 480}},
        {"Slider2", {2040, 240, 1800, 360}},
        {"Text1", {3960, 240, 720, 360}},
        {"Check1(0)", {120, 900, 1080, 300}},
        {"Check1(1)", {1260, 900, 1080, 300}},
        {"Check1(2)", {2400, 900, 1080, 300}},
        {"Check1(3)", {3540, 900, 1080, 300}},

        {"main_display", {120, 4620, 8520, 2100}},
        {"veiwlog", {120, 6780, 8520, 1680}},

        {"calmag", {2760, 1800, 6615, 3855}},
        {"Picture1", {240, 240, 3000, 3360}},
        {"cap1", {3480, 480, 2880, 480}},
        {"Lab1", {3480, 1080, 2880, 1200}},
        {"Command3", {3480, 2520, 1800, 480}},
    };
    return l;
}

const std::vector<Caption>& mainCaptions() {
    static const std::vector<Caption> c = {
        {"Channel A", "Frame1", 240, 250},   {"Channel B", "Frame1", 2160, 250},
        {"Threshold", "Frame1", 240, 1440},  {"Trend", "Frame1", 2160, 1440},
        {"EMF", "Frame1", 240, 1980},        {"Offset Level", "Frame1", 2160, 1980},
        {"Temperature", "Frame4", 240, 250}, {"Field (Natural EMF)", "Frame4", 240, 1030},
        {"Delay", "Frame9", 2040, 600},
    };
    return c;
}

const Layout& splashLayout() {
    static const Layout l = {
        {"lblProduct", {240, 120, 6000, 420}},   {"lblVersion", {240, 540, 2400, 300}},
        {"lblPlatform", {2760, 540, 3480, 300}}, {"lblMaker", {240, 900, 2400, 300}},
        {"lblRead", {2760, 900, 4800, 300}},     {"Text1", {240, 1320, 7560, 3000}},
        {"Check2", {240, 4440, 7560, 900}},      {"Command1", {1800, 5460, 1800, 450}},
        {"Command2", {4440, 5460, 1800, 450}},
    };
    return l;
}

FormKeys formKeys(const std::string& formName) {
    if (formName == "frmSplash")
        return {"Command1", {"Text1"}}; // "Agree", which asks for the tick first
    if (formName == "About")
        return {"cmdOK", {}};
    return {};
}

const Layout& aboutLayout() {
    static const Layout l = {
        {"lblTitle", {240, 120, 5400, 420}},        {"lblVersion", {240, 600, 5400, 300}},
        {"lblDescription", {240, 1020, 5400, 600}}, {"Label1", {240, 1740, 5400, 600}},
        {"lblDisclaimer", {240, 2460, 5400, 420}},  {"cmdOK", {4200, 3060, 1440, 420}},
        {"cmdSysInfo", {4200, 3600, 1440, 420}},
    };
    return l;
}

const Layout& setupLayout() {
    static const Layout l = {
        {"SSTab1", {120, 120, 9600, 6600}},
        // Video Setup
        {"lblDevice", {120, 280, 1000, 300}},
        {"cboDevice", {1200, 240, 3480, 330}},
        {"lblVideoInput", {4920, 280, 840, 300}},
        {"cboVideoInput", {5760, 240, 3480, 330}},
        {"lblVideoFormat", {120, 760, 1000, 300}},
        {"cboVideoFormat", {1200, 720, 3480, 330}},
        {"Command14", {4920, 700, 2100, 390}},
        {"Command16", {7140, 700, 2100, 390}},
        {"ChkUseVideoCap", {120, 1230, 2640, 330}},
        {"cboVideoCompressor", {2880, 1200, 2640, 330}},
        {"Command5", {5640, 1180, 1380, 390}},
        {"lblRotation", {120, 1840, 1000, 300}},
        {"cborotate", {1200, 1800, 4320, 330}},
        {"lblInvert", {5760, 1840, 1260, 300}},
        {"chkinvertcolor", {7080, 1810, 900, 330}},
        {"Command8", {1200, 2280, 1500, 390}},
        {"Command12", {2820, 2280, 1500, 390}},
        {"Command13", {4440, 2280, 1500, 390}},
        {"Text1", {6060, 2300, 720, 350}},
        {"chkCaptureVideo", {120, 2940, 2280, 330}},
        {"ChkCaptureAudio", {2520, 2940, 2280, 330}},
        {"chkShowPreview", {4920, 2940, 3480, 330}},
        {"chkaspectratio", {120, 3360, 2280, 330}},
        {"ChkTVMute", {2520, 3360, 2280, 330}},
        {"cmdBackgroundColor", {4920, 3330, 2400, 390}},
        {"Command1", {120, 4260, 1680, 450}},
        {"Command2", {1920, 4260, 1680, 450}},
        {"Command3", {3720, 4260, 1920, 450}},
        {"Command6", {5760, 4260, 1560, 450}},
        {"Command7", {7440, 4260, 1560, 450}},
        // Screen Text: the text
        {"lblText", {120, 160, 1000, 300}},
        {"txtText", {1200, 120, 3720, 350}},
        {"txtText2", {1200, 510, 3720, 350}},
        {"chkshowtext", {5160, 140, 1800, 330}},
        {"Command10", {7080, 120, 1680, 390}},
        {"lblTextLeft", {120, 940, 500, 300}},
        {"txtLeft", {600, 900, 600, 350}},
        {"lblTextTop", {1320, 940, 500, 300}},
        {"txtTop", {1800, 900, 600, 350}},
        {"cbofontname", {2640, 900, 2280, 330}},
        {"cbofontsize", {5040, 900, 960, 330}},
        {"cbofontstyle", {6120, 900, 1680, 330}},
        {"lblTextStyle", {120, 1360, 1000, 300}},
        {"cbotextstyle", {1200, 1320, 2040, 330}},
        {"cmdsolidfontcolor", {3360, 1300, 1680, 390}},
        {"cmdoutlineborder", {5160, 1300, 1680, 390}},
        {"cmdoutlineback", {6960, 1300, 1680, 390}},
        {"lblHatch", {120, 1780, 1000, 300}},
        {"cbohashbrushstyle", {1200, 1740, 3720, 330}},
        {"cmdhashforecolor", {5160, 1720, 1680, 390}},
        {"cmdhashbackcolor", {6960, 1720, 1680, 390}},
        {"lblTexture", {120, 2200, 1000, 300}},
        {"txttextureimage", {1200, 2160, 5640, 350}},
        {"cmdtextureselimage", {6960, 2140, 1680, 390}},
        // Screen Text: the date
        {"lblDate", {120, 2780, 1000, 300}},
        {"chkshowdatetime", {1200, 2760, 2040, 330}},
        {"cboDateFormat", {3360, 2740, 2880, 330}},
        {"lblDateLeft", {6360, 2780, 500, 300}},
        {"txtdateleft", {6840, 2740, 600, 350}},
        {"lblDateTop", {7560, 2780, 500, 300}},
        {"txtdatetop", {8040, 2740, 600, 350}},
        {"cbodatefontname", {1200, 3180, 2280, 330}},
        {"cbodatefontsize", {3600, 3180, 960, 330}},
        {"cbodatefontstyle", {4680, 3180, 1680, 330}},
        {"Command9", {6480, 3160, 1080, 390}},
        {"Command11", {7680, 3160, 1320, 390}},
        // Screen Text: the picture
        {"lblImage", {120, 3800, 1000, 300}},
        {"txtimage", {1200, 3760, 5640, 350}},
        {"Command4", {6960, 3740, 1680, 390}},
        {"lblImageLeft", {120, 4240, 500, 300}},
        {"txtimageleft", {600, 4200, 600, 350}},
        {"lblImageTop", {1320, 4240, 500, 300}},
        {"txtimagetop", {1800, 4200, 600, 350}},
        {"chkshowimage", {2640, 4210, 1680, 330}},
        {"lblTransparent", {4440, 4240, 1800, 300}},
        {"cmdimagetrancolor", {6240, 4180, 1080, 390}},
        {"cmddrawimage", {7440, 4180, 1320, 390}},
        {"Slider2", {600, 4680, 3600, 360}},
        {"Slider3", {4440, 4680, 3600, 360}},
        {"lblAlpha", {120, 5220, 2280, 300}},
        {"Slider1", {2520, 5160, 3600, 360}},
        // Audio Setup
        {"lblAudioDevice", {120, 280, 1000, 300}},
        {"cboaudiodevice", {1200, 240, 4560, 330}},
        {"lblInputPin", {120, 760, 1000, 300}},
        {"cboinputpin", {1200, 720, 4560, 330}},
        {"lblAudioInput", {120, 1240, 1000, 300}},
        {"cboaudioinput", {1200, 1200, 4560, 330}},
        {"ChkUseAudioCap", {120, 1710, 2640, 330}},
        {"cboAudioCompressor", {2880, 1680, 2880, 330}},
        {"Command15", {120, 2280, 1800, 390}},
    };
    return l;
}

} // namespace kestle::ui
