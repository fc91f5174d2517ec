// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/setup_form.h"

#include "capture/overlay.h"
#include "capture/recording_monitor.h"
#include "support/convert.h"

#include <filesystem>

namespace kestle::capture {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

void fill(forms::Control* list, const NameList& names) {
    list->clear();
    for (const std::string& n : names)
        list->addItem(n);
}

const NameList kFontNames = {"Arial", "AirCut", "Arial Black", "Comic Sans MS", "Times New Roman"};
const NameList kFontStyles = {"Regular", "Bold", "Italic", "BoldItalic", "Underline"};
const NameList kTextStyles = {"Normal", "Outline Text", "Filled Outline", "Hatch Brush",
                              "TextureBrush"};

NameList fontSizes() {
    NameList n;
    for (int s = 8; s <= 60; s += 2)
        n.push_back(std::to_string(s));
    return n;
}

template <std::size_t N> NameList names(const std::array<const char*, N>& a) {
    return NameList(a.begin(), a.end());
}

} // namespace

SetupForm::SetupForm(forms::Vid2Form& f, VideoControl& video, AudioControl& audio,
                     forms::UiHost& host)
    : f_(f), video_(video), audio_(audio), host_(host) {
    wire();
}

void SetupForm::message(const std::string& text) {
    host_.messageBox(forms::kAppTitle, text);
}

void SetupForm::wire() {
    f_.cboDevice->onClick = [this] { cboDevice_Click(); };
    f_.cboaudiodevice->onClick = [this] { cboaudiodevice_Click(); };
    f_.cbofontname->onClick = [this] { fontClick(); };
    f_.cbofontsize->onClick = [this] { fontClick(); };
    f_.cbofontstyle->onClick = [this] { video_.setFontStyle(0, f_.cbofontstyle->selected()); };
    f_.cmdsolidfontcolor->onClick = [this] {
        pickColor("Text Color", textColor_, [this](Rgb c) {
            textColor_ = c;
            video_.setTextColor(0, c);
        });
    };
    f_.cmdoutlineback->onClick = [this] {
        pickColor("Outline Fill Color", outlineBack_, [this](Rgb c) {
            outlineBack_ = c;
            video_.setOutlineBackColor(0, c);
        });
    };
    f_.cmdoutlineborder->onClick = [this] {
        pickColor("Outline Border Color", outlineBorder_, [this](Rgb c) {
            outlineBorder_ = c;
            video_.setOutlineBorderColor(0, c);
        });
    };
    f_.cmdhashforecolor->onClick = [this] {
        pickColor("Hatch Fore Color", hatchFore_, [this](Rgb c) {
            hatchFore_ = c;
            hatchBrush();
        });
    };
    f_.cmdhashbackcolor->onClick = [this] {
        pickColor("Hatch Back Color", hatchBack_, [this](Rgb c) {
            hatchBack_ = c;
            hatchBrush();
        });
    };
    f_.cbohashbrushstyle->onClick = [this] { hatchBrush(); };
    f_.cbotextstyle->onClick = [this] { cbotextstyle_Click(); };
    f_.cmdtextureselimage->onClick = [this] {
        host_.fileDialog("Texture Brush Image", kTextureFilter, [this](auto path) {
            if (!path)
                return;
            f_.txttextureimage->setText(*path);
            video_.setTextureImage(0, *path);
        });
    };
    f_.Command10->onClick = [this] { drawText(); };
    f_.chkshowtext->onClick = [this] { video_.showText(0, checked(f_.chkshowtext)); };

    f_.chkshowdatetime->onClick = [this] { video_.setShowDateTime(checked(f_.chkshowdatetime)); };
    f_.cboDateFormat->onClick = [this] { drawDateTime(); };
    f_.Command11->onClick = [this] { drawDateTime(); };
    f_.cbodatefontname->onClick = [this] { dateFontClick(); };
    f_.cbodatefontsize->onClick = [this] { dateFontClick(); };
    f_.cbodatefontstyle->onClick = [this] {
        video_.setDateFontStyle(f_.cbodatefontstyle->selected());
    };
    f_.Command9->onClick = [this] {
        pickColor("Date Color", dateColor_, [this](Rgb c) {
            dateColor_ = c;
            video_.setDateColor(c);
        });
    };

    f_.Command4->onClick = [this] {
        host_.fileDialog("Overlay Picture", kPictureFilter, [this](auto path) {
            if (!path)
                return;
            f_.txtimage->setText(*path);
            drawImage();
        });
    };
    f_.cmddrawimage->onClick = [this] { drawImage(); };
    f_.Slider1->onChange = [this] { drawImage(); };
    auto moved = [this](forms::Control* slider, forms::Control* box) {
        box->setText(std::to_string(slider->value()));
        video_.showImage(0, true);
        drawImage();
    };
    f_.Slider2->onChange = [this, moved] { moved(f_.Slider2, f_.txtimageleft); };
    f_.Slider3->onChange = [this, moved] { moved(f_.Slider3, f_.txtimagetop); };
    f_.chkshowimage->onClick = [this] { video_.showImage(0, checked(f_.chkshowimage)); };
    f_.cmdimagetrancolor->onClick = [this] {
        pickColor("Transparent Color", transparent_, [this](Rgb c) { transparent_ = c; });
    };

    f_.cborotate->onClick = [this] { cborotate_Click(); };
    f_.chkinvertcolor->onClick = [this] { chkinvertcolor_Click(); };
    f_.chkaspectratio->onClick = [this] { video_.setKeepAspectRatio(checked(f_.chkaspectratio)); };
    f_.ChkTVMute->onClick = [this] { video_.setTVMute(checked(f_.ChkTVMute)); };
    f_.cmdBackgroundColor->onClick = [this] {
        pickColor("Background Color", backColor_, [this](Rgb c) {
            backColor_ = c;
            video_.setBackColor(c);
        });
    };
    f_.ChkUseVideoCap->onClick = [this] { ChkUseVideoCap_Click(); };
    f_.Command5->onClick = [this] { Command5_Click(); };
    f_.Command14->onClick = [this] { Command14_Click(); };
    f_.Command16->onClick = [this] {
        video_.setVideoInput(f_.cboDevice->selected());
        video_.setVideoInput(f_.cboVideoFormat->selected());
    };
    f_.Command15->onClick = [this] {
        audio_.setAudioDevice(f_.cboaudiodevice->selected());
        audio_.setAudioInput(f_.cboinputpin->selected());
    };
    f_.Command1->onClick = [this] { Command1_Click(); };
    f_.Command2->onClick = [this] { Command2_Click(); };
    f_.Command3->onClick = [this] { Command3_Click(); };
    f_.Command7->onClick = [this] { audio_.resume(); };
    f_.Command8->onClick = [this] { video_.invertColor(true); };
    f_.Command12->onClick = [this] { video_.invertColor(false); };
    f_.Command13->onClick = [this] {
        if (auto p = position(f_.Text1))
            video_.setRotation(*p);
    };
}

void SetupForm::Form_Load() {
    video_.setTVMute(true);
    transparent_ = 0x000000;
    hatchFore_ = 0xFFFFFF;
    hatchBack_ = 0x000000;
    video_.setHatchBrush(0, 0, hatchFore_, hatchBack_);
    fillLists();
}

void SetupForm::fillLists() {
    fill(f_.cbotextstyle, kTextStyles);
    f_.cbotextstyle->choose(0);
    fill(f_.cborotate, names(rotationNames()));
    f_.cborotate->choose(0);
    fill(f_.cbohashbrushstyle, names(hatchStyleNames()));
    f_.cbohashbrushstyle->choose(0);
    fill(f_.cboDateFormat, names(dateFormatNames()));
    f_.cboDateFormat->choose(0);
    fill(f_.cbofontsize, fontSizes());
    f_.cbofontsize->choose(2);
    fill(f_.cbodatefontsize, fontSizes());
    f_.cbodatefontsize->choose(4);
    fill(f_.cbofontstyle, kFontStyles);
    f_.cbofontstyle->choose(0);
    fill(f_.cbodatefontstyle, kFontStyles);
    f_.cbodatefontstyle->choose(0);
    fill(f_.cbofontname, kFontNames);
    f_.cbofontname->choose(0);
    fill(f_.cbodatefontname, kFontNames);
    f_.cbodatefontname->choose(0);
    fillVideoDevices({});
    fill(f_.cboVideoCompressor, video_.videoCompressors());
    // The compressor list follows its box; the control keeps its own choice
    // until "Capture" hands it the box.
    f_.cboVideoCompressor->setEnabled(checked(f_.ChkUseVideoCap));
    f_.Command5->setEnabled(checked(f_.ChkUseVideoCap));
    fillAudioDevices({});
}

void SetupForm::fillVideoDevices(std::string keep) {
    fill(f_.cboDevice, video_.videoDevices());
    if (f_.cboDevice->count() == 0) {
        f_.cboVideoInput->clear();
        f_.cboVideoFormat->clear();
        return;
    }
    const int at = findIndex(f_.cboDevice->items(), keep);
    f_.cboDevice->choose(at >= 0 ? at : 0);
}

// The audio device list is filled from the control, so that "Force Audio"
// has devices to choose from.
void SetupForm::fillAudioDevices(std::string keep) {
    fill(f_.cboaudiodevice, audio_.audioDevices());
    if (f_.cboaudiodevice->count() == 0) {
        f_.cboinputpin->clear();
        return;
    }
    const int at = findIndex(f_.cboaudiodevice->items(), keep);
    f_.cboaudiodevice->choose(at >= 0 ? at : 0);
}

void SetupForm::devicesChanged() {
    fillVideoDevices(f_.cboDevice->text());
    fillAudioDevices(f_.cboaudiodevice->text());
}

void SetupForm::cboDevice_Click() {
    f_.cboVideoInput->clear();
    f_.cboVideoFormat->clear();
    const int pos = f_.cboDevice->selected();
    video_.selectVideoDevice(pos);
    fill(f_.cboVideoInput, video_.videoInputs());
    fill(f_.cboVideoFormat, video_.videoFormats());
    if (f_.cboVideoInput->count() > 0)
        f_.cboVideoInput->select(0);
    if (f_.cboVideoFormat->count() > 0)
        f_.cboVideoFormat->select(0);
    video_.setVideoInput(pos);
}

void SetupForm::cboaudiodevice_Click() {
    audio_.selectAudioDevice(f_.cboaudiodevice->selected());
    fill(f_.cboinputpin, audio_.audioInputs());
    if (f_.cboinputpin->count() > 0)
        f_.cboinputpin->select(0);
}

void SetupForm::fontClick() {
    video_.setFontName(0, f_.cbofontname->text());
    video_.setFontSize(0, static_cast<int>(leadingNumber(f_.cbofontsize->text())));
}

void SetupForm::dateFontClick() {
    video_.setDateFontName(f_.cbodatefontname->text());
    video_.setDateFontSize(leadingNumber(f_.cbodatefontsize->text()));
}

void SetupForm::hatchBrush() {
    video_.setHatchBrush(0, f_.cbohashbrushstyle->selected(), hatchFore_, hatchBack_);
}

void SetupForm::cbotextstyle_Click() {
    const int style = f_.cbotextstyle->selected();
    video_.setTextStyle(0, style);
    forms::Control* uses[] = {f_.cmdsolidfontcolor,  f_.cmdoutlineborder, f_.cmdoutlineback,
                              f_.cbohashbrushstyle,  f_.cmdhashforecolor, f_.cmdhashbackcolor,
                              f_.cmdtextureselimage, f_.txttextureimage};
    // Which of them each style uses, one bit per control in that order.
    static const unsigned enabled[kTextStyleCount] = {0x01, 0x02, 0x06, 0x38, 0xC0};
    for (std::size_t i = 0; i < std::size(uses); ++i)
        uses[i]->setEnabled(style >= 0 && style < kTextStyleCount && (enabled[style] >> i & 1));
    if (style == static_cast<int>(TextStyle::Texture) && f_.txttextureimage->text().empty())
        message(kSelectTexture);
}

void SetupForm::cborotate_Click() {
    const int pos = f_.cborotate->selected();
    video_.setRotation(pos);
    if (swapsSides(pos) && checked(f_.chkinvertcolor))
        message(kNoInvertWithRotation);
}

void SetupForm::chkinvertcolor_Click() {
    if (checked(f_.chkinvertcolor)) {
        if (swapsSides(f_.cborotate->selected()))
            message(kNoInvertWithRotation);
        video_.invertColor(true);
    } else {
        video_.invertColor(false);
    }
}

void SetupForm::ChkUseVideoCap_Click() {
    const bool on = checked(f_.ChkUseVideoCap);
    video_.setUseVideoCompressor(on);
    f_.cboVideoCompressor->setEnabled(on);
    f_.Command5->setEnabled(on);
}

void SetupForm::Command5_Click() {
    const int pos = findIndex(video_.videoCompressors(), f_.cboVideoCompressor->text());
    const Setting s = video_.compressorSetting(pos);
    if (s.name.empty()) {
        message(kNoPropertyPage);
        return;
    }
    host_.inputBox(f_.cboVideoCompressor->text() + " Properties", s.name, std::to_string(s.value),
                   [this, pos, s](std::optional<std::string> answer) {
                       if (!answer)
                           return;
                       const auto v = parseNumber(*answer);
                       if (!v || *v != static_cast<int>(*v) || *v < s.min || *v > s.max) {
                           message(s.name + ": enter a whole number from " + std::to_string(s.min) +
                                   " to " + std::to_string(s.max));
                           return;
                       }
                       video_.applyCompressorSetting(pos, static_cast<int>(*v));
                   });
}

void SetupForm::Command14_Click() {
    std::vector<Setting> settings = video_.deviceSettings();
    if (settings.empty()) {
        message("The camera " + f_.cboDevice->text() + " has no settings of its own");
        return;
    }
    askSetting(std::move(settings));
}

// The camera's settings, one after another; cancelling one ends the dialog.
void SetupForm::askSetting(std::vector<Setting> left) {
    if (left.empty())
        return;
    const Setting s = left.front();
    left.erase(left.begin());
    host_.inputBox("Video Setup",
                   s.name + " (" + std::to_string(s.min) + " to " + std::to_string(s.max) + ")",
                   std::to_string(s.value), [this, s, left](std::optional<std::string> answer) {
                       if (!answer)
                           return;
                       if (const auto v = parseNumber(*answer))
                           video_.applyDeviceSetting(s.name, roundToInt32(*v));
                       askSetting(left);
                   });
}

void SetupForm::ControlCap() {
    struct Row {
        forms::Control* box;
        NameList names;
        void (VideoControl::*set)(int);
    };
    const Row rows[] = {
        {f_.cboDevice, video_.videoDevices(), &VideoControl::setVideoDevice},
        {f_.cboVideoInput, video_.videoInputs(), &VideoControl::setVideoInput},
        {f_.cboVideoFormat, video_.videoFormats(), &VideoControl::setVideoFormat},
        {f_.cboVideoCompressor, video_.videoCompressors(), &VideoControl::setVideoCompressor},
    };
    for (const Row& r : rows) {
        if (const int i = findIndex(r.names, r.box->text()); i != -1)
            (video_.*r.set)(i);
    }
}

void SetupForm::Command1_Click() {
    ControlCap();
    (void)video_.start();
    applyOverlays();
}

void SetupForm::applyOverlays() {
    video_.showText(0, checked(f_.chkshowtext));
    video_.showImage(0, checked(f_.chkshowimage));
    video_.setShowDateTime(checked(f_.chkshowdatetime));
    video_.setRotation(f_.cborotate->selected());
    drawText();
    drawDateTime();
    drawImage();
}

void SetupForm::Command2_Click() {
    ControlCap();
    host_.fileDialog("Capture File", kAviFilter, [this](std::optional<std::string> file) {
        // A cancelled dialog records nothing.
        if (!file)
            return;
        // A name typed without an extension is an AVI file, as the filter says.
        if (std::filesystem::path(*file).extension().empty())
            *file += ".avi";
        video_.setCaptureVideo(f_.chkCaptureVideo->value());
        video_.setPreviewWhenCapture(checked(f_.chkShowPreview));
        video_.setUseVideoCompressor(checked(f_.ChkUseVideoCap));
        video_.setCaptureToFile(true);
        video_.setCaptureFileName(*file);
        video_.setRotation(f_.cborotate->selected());
        const int status = video_.start();
        applyOverlays();
        video_.invertColor(checked(f_.chkinvertcolor));
        if (status == kStartFailed) {
            message(kCaptureFailure);
        } else if (status == kFileNotFound) {
            message(kCaptureFileNotFound);
        } else {
            f_.Command1->setEnabled(false);
            f_.Command2->setEnabled(false);
            f_.Command3->setEnabled(true);
            host_.status("Recording video to " + *file + ": " + fillRate());
        }
    });
}

std::string SetupForm::fillRate() const {
    const std::string compressor =
        checked(f_.ChkUseVideoCap) ? f_.cboVideoCompressor->text() : std::string();
    const std::string how = compressor.empty() ? "uncompressed" : compressor;
    if (const auto rate = videoBytesPerSecond(f_.cboVideoFormat->text(), compressor))
        return how + ", " + rateText(*rate);
    return how + " (how fast it fills the disk depends on the picture)";
}

void SetupForm::Command3_Click() {
    video_.setPreviewWhenCapture(true);
    video_.setCaptureToFile(false);
    video_.stop();
    (void)video_.start();
    drawText();
    drawDateTime();
    drawImage();
    video_.setRotation(f_.cborotate->selected());
    video_.invertColor(checked(f_.chkinvertcolor));
    video_.showText(0, checked(f_.chkshowtext));
    video_.showImage(0, checked(f_.chkshowimage));
    video_.setShowDateTime(checked(f_.chkshowdatetime));
    f_.Command1->setEnabled(true);
    f_.Command2->setEnabled(true);
    f_.Command3->setEnabled(false);
}

std::optional<int> SetupForm::position(forms::Control* box) {
    if (auto v = toInt16(box->text()))
        return *v;
    message("\"" + box->text() + "\" is not a whole number from -32768 to 32767");
    return std::nullopt;
}

void SetupForm::drawText() {
    const auto left = position(f_.txtLeft);
    const auto top = left ? position(f_.txtTop) : std::nullopt;
    if (!top)
        return;
    video_.drawText(0, *left, *top, trim(f_.txtText->text()) + "\n\r" + trim(f_.txtText2->text()));
}

void SetupForm::drawDateTime() {
    const auto left = position(f_.txtdateleft);
    const auto top = left ? position(f_.txtdatetop) : std::nullopt;
    if (top)
        video_.drawDateTime(f_.cboDateFormat->selected(), *left, *top);
}

void SetupForm::drawImage() {
    const auto left = position(f_.txtimageleft);
    const auto top = left ? position(f_.txtimagetop) : std::nullopt;
    if (top)
        video_.drawImage(0, *left, *top, f_.txtimage->text(), transparent_, f_.Slider1->value());
}

void SetupForm::pickColor(const char* title, Rgb initial, std::function<void(Rgb)> use) {
    host_.colorDialog(title, initial, [use = std::move(use)](std::optional<std::uint32_t> c) {
        if (c)
            use(*c);
    });
}

} // namespace kestle::capture
