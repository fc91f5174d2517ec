// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The handlers of the capture set-up form `vid2`: its load (the lists and
// their first choices, applied to the controls), the device, text, date,
// picture, rotation and compressor settings, and the Preview, Capture and
// Stop Capture buttons. Every setting goes straight to the main window's
// capture controls. Window thread only.
#include "capture/capture_controls.h"
#include "forms/ui_host.h"
#include "forms/vid2_form.h"

#include <optional>
#include <string>

namespace kestle::capture {

// Messages of the form, as the operator reads them.
inline constexpr const char* kCaptureFailure =
    "Capture Failure,Video, Audio Compressor not correct or capture file opening";
inline constexpr const char* kCaptureFileNotFound = "Capture file not found";
inline constexpr const char* kNoPropertyPage = "No property page";
inline constexpr const char* kSelectTexture = "Please select Texture Brush image ";
inline constexpr const char* kNoInvertWithRotation =
    "You selected rotate value cannot support invert color";

// The file dialogs' filters.
inline constexpr const char* kTextureFilter =
    "Bitmap File (*.bmp)|*.bmp|JPEG File (*.jpg)|*.jpg|Gif File (*.gif)|*.gif";
inline constexpr const char* kPictureFilter = "Bitmap File (*.bmp)|*.bmp";
inline constexpr const char* kAviFilter = "Avi File (*.avi)|*.avi";

class SetupForm {
  public:
    // Installs the handlers. Everything given outlives this object.
    SetupForm(forms::Vid2Form& f, VideoControl& video, AudioControl& audio, forms::UiHost& host);

    // The form's load: TV mute, the colours, the hatch brush, then the
    // lists, whose first choices run their handlers.
    void Form_Load();
    // The device lists changed: they are filled again, keeping the chosen
    // devices where they are still there.
    void devicesChanged();

    // The list lookups that apply the four video lists to the control.
    void ControlCap();

  private:
    void wire();
    void fillLists();
    // `keep` is a copy: the list it may come from is filled again.
    void fillVideoDevices(std::string keep);
    void fillAudioDevices(std::string keep);
    void cboDevice_Click();
    void cboaudiodevice_Click();
    void fontClick();
    void dateFontClick();
    void cbotextstyle_Click();
    void cborotate_Click();
    void chkinvertcolor_Click();
    void hatchBrush();
    void ChkUseVideoCap_Click();
    void Command5_Click();
    void Command14_Click();
    void askSetting(std::vector<Setting> left);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    // How fast the recording "Capture" starts fills the disk, for the status line.
    std::string fillRate() const;
    void applyOverlays();
    // Text, date and picture placed as their "Draw" buttons place them.
    void drawText();
    void drawDateTime();
    void drawImage();
    // A position box as a 16-bit whole number; a message when it is not.
    std::optional<int> position(forms::Control* box);
    // A colour dialog whose answer goes to `use`.
    void pickColor(const char* title, Rgb initial, std::function<void(Rgb)> use);
    bool checked(const forms::Control* c) const { return c->value() != 0; }
    void message(const std::string& text);

    forms::Vid2Form& f_;
    VideoControl& video_;
    AudioControl& audio_;
    forms::UiHost& host_;
    Rgb transparent_ = 0x000000, hatchFore_ = 0xFFFFFF, hatchBack_ = 0x000000;
    Rgb textColor_ = 0xFFFFFF, outlineBack_ = 0xFFFFFF, outlineBorder_ = 0x000000;
    Rgb dateColor_ = 0xFFFFFF, backColor_ = 0x000000;
};

} // namespace kestle::capture
