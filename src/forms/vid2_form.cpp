// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/vid2_form.h"

namespace kestle::forms {

Vid2Form::Vid2Form() : Form("vid2") {
    setCaption("Audio /  Video Setup");
    SSTab1 = &add("SSTab1", Kind::Tabs);
    auto page = [this](const char* name, const char* caption) {
        Control* c = &add(name, Kind::Frame, SSTab1);
        c->setText(caption);
        return c;
    };
    tabVideo = page("tabVideo", "Video Setup");
    tabText = page("tabText", "Screen Text");
    tabAudio = page("tabAudio", "Audio Setup");
    SSTab1->setRange(0, 2);

    Control* on = tabVideo;
    auto make = [this, &on](const char* name, Kind kind, const char* text) {
        Control* c = &add(name, kind, on);
        if (text)
            c->setText(text);
        return c;
    };
    auto label = [&](const char* name, const char* text) { make(name, Kind::Label, text); };
    auto button = [&](const char* name, const char* text) {
        return make(name, Kind::Button, text);
    };
    auto check = [&](const char* name, const char* text, bool checked) {
        Control* c = make(name, Kind::CheckBox, text);
        c->setValue(checked ? 1 : 0);
        return c;
    };
    auto combo = [&](const char* name) { return make(name, Kind::ComboBox, nullptr); };
    auto box = [&](const char* name, const char* text) { return make(name, Kind::TextBox, text); };
    auto slider = [&](const char* name, int hi) {
        Control* c = make(name, Kind::Slider, nullptr);
        c->setRange(0, hi);
        return c;
    };

    label("lblDevice", "Device");
    cboDevice = combo("cboDevice");
    label("lblVideoInput", "Input");
    cboVideoInput = combo("cboVideoInput");
    label("lblVideoFormat", "Format");
    cboVideoFormat = combo("cboVideoFormat");
    Command14 = button("Command14", "Show Video Setup");
    Command16 = button("Command16", "Force Video");
    ChkUseVideoCap = check("ChkUseVideoCap", "Use Video Compressor ", false);
    cboVideoCompressor = combo("cboVideoCompressor");
    Command5 = button("Command5", "Setting");
    label("lblRotation", "Rotation");
    cborotate = combo("cborotate");
    label("lblInvert", "Invert Color");
    chkinvertcolor = check("chkinvertcolor", "On", false);
    Command8 = button("Command8", "Command8");
    Command12 = button("Command12", "Command12");
    Command13 = button("Command13", "Command13");
    Text1 = box("Text1", "0");
    chkCaptureVideo = check("chkCaptureVideo", "Capture Video", true);
    ChkCaptureAudio = check("ChkCaptureAudio", "Capture Audio", true);
    chkShowPreview = check("chkShowPreview", "Show Preview when Capture", true);
    chkaspectratio = check("chkaspectratio", "Aspect Ratio", true);
    ChkTVMute = check("ChkTVMute", "TV Mute", true);
    cmdBackgroundColor = button("cmdBackgroundColor", "Background Color");
    Command1 = button("Command1", "Preview");
    Command2 = button("Command2", "Capture");
    Command3 = button("Command3", "Stop Capture");
    Command3->setEnabled(false);
    Command6 = button("Command6", "Pause");
    Command7 = button("Command7", "Resume");

    on = tabText;
    label("lblText", "Text");
    txtText = box("txtText", "Corvane");
    txtText2 = box("txtText2", "Version 1.0");
    label("lblTextLeft", "Left");
    txtLeft = box("txtLeft", "0");
    label("lblTextTop", "Top");
    txtTop = box("txtTop", "30");
    chkshowtext = check("chkshowtext", "Show Text", true);
    Command10 = button("Command10", "Draw Text");
    cbofontname = combo("cbofontname");
    cbofontsize = combo("cbofontsize");
    cbofontstyle = combo("cbofontstyle");
    label("lblTextStyle", "Style");
    cbotextstyle = combo("cbotextstyle");
    cmdsolidfontcolor = button("cmdsolidfontcolor", "Text Color");
    cmdoutlineborder = button("cmdoutlineborder", "Border Color");
    cmdoutlineback = button("cmdoutlineback", "Fill Color");
    label("lblHatch", "Hatch");
    cbohashbrushstyle = combo("cbohashbrushstyle");
    cmdhashforecolor = button("cmdhashforecolor", "Fore Color");
    cmdhashbackcolor = button("cmdhashbackcolor", "Back Color");
    label("lblTexture", "Texture");
    txttextureimage = box("txttextureimage",
                          "C:\\VANTIC_DATArogram Files\\VideoCap Pro ActiveX Control\\image.bmp");
    cmdtextureselimage = button("cmdtextureselimage", "Select...");

    label("lblDate", "Date");
    chkshowdatetime = check("chkshowdatetime", "Show Date Time", true);
    cboDateFormat = combo("cboDateFormat");
    label("lblDateLeft", "Left");
    txtdateleft = box("txtdateleft", "0");
    label("lblDateTop", "Top");
    txtdatetop = box("txtdatetop", "0");
    cbodatefontname = combo("cbodatefontname");
    cbodatefontsize = combo("cbodatefontsize");
    cbodatefontstyle = combo("cbodatefontstyle");
    Command9 = button("Command9", "change");
    Command11 = button("Command11", "Draw Time");

    label("lblImage", "Picture");
    txtimage = box("txtimage", "");
    Command4 = button("Command4", "Select Image");
    label("lblImageLeft", "Left");
    txtimageleft = box("txtimageleft", "0");
    label("lblImageTop", "Top");
    txtimagetop = box("txtimagetop", "50");
    chkshowimage = check("chkshowimage", "Show Image", true);
    label("lblTransparent", "Transparent Color");
    cmdimagetrancolor = button("cmdimagetrancolor", "Change");
    cmddrawimage = button("cmddrawimage", "Draw Image");
    Slider2 = slider("Slider2", 320);
    Slider3 = slider("Slider3", 240);
    Slider3->setValue(50); // where txtimagetop starts
    label("lblAlpha", "Alpha Channel 0-255");
    Slider1 = slider("Slider1", 255);
    Slider1->setValue(255); // a picture drawn at once is seen

    on = tabAudio;
    label("lblAudioDevice", "Device");
    cboaudiodevice = combo("cboaudiodevice");
    label("lblInputPin", "Input Pin");
    cboinputpin = combo("cboinputpin");
    label("lblAudioInput", "Input");
    cboaudioinput = combo("cboaudioinput");
    ChkUseAudioCap = check("ChkUseAudioCap", "Use Audio Compressor ", false);
    cboAudioCompressor = combo("cboAudioCompressor");
    Command15 = button("Command15", "Force Audio");
}

} // namespace kestle::forms
