// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The capture set-up form "Audio /  Video Setup": a tab strip with the
// pages "Video Setup", "Screen Text" and "Audio Setup", and on them the
// device lists, the overlay settings and the capture buttons. The overlay
// texts and the picture path belong to the settings file. Its handlers are
// in capture/setup_form.
#include "forms/form.h"

namespace kestle::forms {

class Vid2Form : public Form {
  public:
    Vid2Form();

    Control *SSTab1, *tabVideo, *tabText, *tabAudio;

    // Video Setup
    Control *cboDevice, *cboVideoInput, *cboVideoFormat, *cboVideoCompressor, *ChkUseVideoCap,
        *Command5, *Command14, *Command16, *cborotate, *chkinvertcolor, *Command8, *Command12,
        *Command13, *Text1, *chkCaptureVideo, *ChkCaptureAudio, *chkShowPreview, *chkaspectratio,
        *ChkTVMute, *cmdBackgroundColor, *Command1, *Command2, *Command3, *Command6, *Command7;
    // Screen Text: the text overlay
    Control *txtText, *txtText2, *txtLeft, *txtTop, *chkshowtext, *Command10, *cbofontname,
        *cbofontsize, *cbofontstyle, *cbotextstyle, *cmdsolidfontcolor, *cmdoutlineborder,
        *cmdoutlineback, *cbohashbrushstyle, *cmdhashforecolor, *cmdhashbackcolor, *txttextureimage,
        *cmdtextureselimage;
    // Screen Text: the date-time stamp
    Control *chkshowdatetime, *cboDateFormat, *txtdateleft, *txtdatetop, *cbodatefontname,
        *cbodatefontsize, *cbodatefontstyle, *Command9, *Command11;
    // Screen Text: the picture
    Control *txtimage, *Command4, *txtimageleft, *txtimagetop, *chkshowimage, *cmdimagetrancolor,
        *cmddrawimage, *Slider1, *Slider2, *Slider3;
    // Audio Setup
    Control *cboaudiodevice, *cboinputpin, *cboaudioinput, *cboAudioCompressor, *ChkUseAudioCap,
        *Command15;
};

} // namespace kestle::forms
