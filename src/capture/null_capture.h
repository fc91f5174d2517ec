// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls of `--capture none`: no devices, nothing is ever recorded,
// and nothing is reported (the operator asked for no capture). Start
// returns kStartFailed. Also the silent inner control of the call log in
// tests.
#include "capture/capture_controls.h"

namespace kestle::capture {

class NullAudio : public AudioControl {
  public:
    void setCaptureFileName(const std::string&) override {}
    int start() override { return kStartFailed; }
    void stop() override {}
    void pause() override {}
    void resume() override {}
    void keepPreRoll(bool) override {}
    bool listening() const override { return false; }
    NameList audioDevices() const override { return {}; }
    void setAudioDevice(int) override {}
    void selectAudioDevice(int) override {}
    NameList audioInputs() const override { return {}; }
    void setAudioInput(int) override {}
    void setErrorHandler(ErrorHandler) override {}
    void setDevicesChangedHandler(std::function<void()>) override {}
    bool deviceAvailable() const override { return false; }
};

class NullVideo : public VideoControl {
  public:
    void setVisible(bool) override {}
    void setCaptureFileName(const std::string&) override {}
    void setCaptureToFile(bool) override {}
    void setPreviewWhenCapture(bool) override {}
    void setShowDateTime(bool) override {}
    int start() override { return kStartFailed; }
    void stop() override {}
    void snapShot(const std::string&) override {}
    NameList videoDevices() const override { return {}; }
    NameList videoInputs() const override { return {}; }
    NameList videoFormats() const override { return {}; }
    NameList videoCompressors() const override { return {}; }
    void selectVideoDevice(int) override {}
    void setVideoDevice(int) override {}
    void setVideoInput(int) override {}
    void setVideoFormat(int) override {}
    void setVideoCompressor(int) override {}
    void setUseVideoCompressor(bool) override {}
    void setCaptureVideo(int) override {}
    void setKeepAspectRatio(bool) override {}
    void setBackColor(Rgb) override {}
    void setTVMute(bool) override {}
    std::vector<Setting> deviceSettings() const override { return {}; }
    void applyDeviceSetting(const std::string&, int) override {}
    Setting compressorSetting(int) const override { return {}; }
    void applyCompressorSetting(int, int) override {}
    void setDateColor(Rgb) override {}
    void setDateFontName(const std::string&) override {}
    void setDateFontSize(double) override {}
    void setDateFontStyle(int) override {}
    void drawDateTime(int, int, int) override {}
    void showText(int, bool) override {}
    void drawText(int, int, int, const std::string&) override {}
    void setTextColor(int, Rgb) override {}
    void setFontName(int, const std::string&) override {}
    void setFontSize(int, int) override {}
    void setFontStyle(int, int) override {}
    void setTextStyle(int, int) override {}
    void setOutlineBackColor(int, Rgb) override {}
    void setOutlineBorderColor(int, Rgb) override {}
    void setHatchBrush(int, int, Rgb, Rgb) override {}
    void setTextureImage(int, const std::string&) override {}
    void showImage(int, bool) override {}
    void drawImage(int, int, int, const std::string&, Rgb, int) override {}
    void setRotation(int) override {}
    void invertColor(bool) override {}
    void setPreviewTarget(PreviewTarget*) override {}
    void setErrorHandler(ErrorHandler) override {}
    void setDevicesChangedHandler(std::function<void()>) override {}
    bool deviceAvailable() const override { return false; }
};

} // namespace kestle::capture
