// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decorators that print every operation on a capture control as one line
// and then pass it on to the control they wrap: `CAPTURE Audio.Start`,
// `CAPTURE Video.CaptureFileName = "path"`, `CAPTURE Video.SetRotation 1`.
// Headless runs print these lines whatever backend records. Reading a list
// is not an operation and prints nothing. While quiet (the set-up form
// applying its designed state at load), nothing is printed either.
// Window thread only.
#include "capture/capture_controls.h"

namespace kestle::capture {

// Told each call as the line's text without its "CAPTURE " head.
using CallSink = std::function<void(const std::string& call)>;

class CallLogAudio final : public AudioControl {
  public:
    // `inner` is not owned and outlives the decorator.
    CallLogAudio(AudioControl& inner, CallSink sink) : inner_(inner), sink_(std::move(sink)) {}

    void setCaptureFileName(const std::string& path) override;
    int start() override;
    void stop() override;
    void pause() override;
    void resume() override;
    // The original controls had no pre-roll: nothing is printed for it.
    void keepPreRoll(bool on) override { inner_.keepPreRoll(on); }
    bool listening() const override { return inner_.listening(); }
    NameList audioDevices() const override { return inner_.audioDevices(); }
    void setAudioDevice(int index) override;
    void selectAudioDevice(int index) override;
    NameList audioInputs() const override { return inner_.audioInputs(); }
    void setAudioInput(int index) override;
    void setErrorHandler(ErrorHandler h) override { inner_.setErrorHandler(std::move(h)); }
    void setDevicesChangedHandler(std::function<void()> h) override {
        inner_.setDevicesChangedHandler(std::move(h));
    }
    void setRecordingHandler(RecordingHandler h) override {
        inner_.setRecordingHandler(std::move(h));
    }
    bool deviceAvailable() const override { return inner_.deviceAvailable(); }
    void setQuiet(bool quiet) { quiet_ = quiet; }

  private:
    void log(const std::string& text) const;

    AudioControl& inner_;
    CallSink sink_;
    bool quiet_ = false;
};

class CallLogVideo final : public VideoControl {
  public:
    CallLogVideo(VideoControl& inner, CallSink sink) : inner_(inner), sink_(std::move(sink)) {}

    void setVisible(bool on) override;
    void setCaptureFileName(const std::string& path) override;
    void setCaptureToFile(bool on) override;
    void setPreviewWhenCapture(bool on) override;
    void setShowDateTime(bool on) override;
    int start() override;
    void stop() override;
    void snapShot(const std::string& path) override;

    NameList videoDevices() const override { return inner_.videoDevices(); }
    NameList videoInputs() const override { return inner_.videoInputs(); }
    NameList videoFormats() const override { return inner_.videoFormats(); }
    NameList videoCompressors() const override { return inner_.videoCompressors(); }
    void selectVideoDevice(int index) override;
    void setVideoDevice(int index) override;
    void setVideoInput(int index) override;
    void setVideoFormat(int index) override;
    void setVideoCompressor(int index) override;
    void setUseVideoCompressor(bool on) override;
    void setCaptureVideo(int checked) override;
    void setKeepAspectRatio(bool on) override;
    void setBackColor(Rgb color) override;
    void setTVMute(bool on) override;
    std::vector<Setting> deviceSettings() const override { return inner_.deviceSettings(); }
    void applyDeviceSetting(const std::string& name, int value) override;
    Setting compressorSetting(int index) const override { return inner_.compressorSetting(index); }
    void applyCompressorSetting(int index, int value) override;

    void setDateColor(Rgb color) override;
    void setDateFontName(const std::string& name) override;
    void setDateFontSize(double size) override;
    void setDateFontStyle(int style) override;
    void drawDateTime(int format, int left, int top) override;
    void showText(int slot, bool on) override;
    void drawText(int slot, int left, int top, const std::string& text) override;
    void setTextColor(int slot, Rgb color) override;
    void setFontName(int slot, const std::string& name) override;
    void setFontSize(int slot, int size) override;
    void setFontStyle(int slot, int style) override;
    void setTextStyle(int slot, int style) override;
    void setOutlineBackColor(int slot, Rgb color) override;
    void setOutlineBorderColor(int slot, Rgb color) override;
    void setHatchBrush(int slot, int style, Rgb fore, Rgb back) override;
    void setTextureImage(int slot, const std::string& path) override;
    void showImage(int slot, bool on) override;
    void drawImage(int slot, int left, int top, const std::string& path, Rgb transparent,
                   int alpha) override;
    void setRotation(int position) override;
    void invertColor(bool on) override;

    void setPreviewTarget(PreviewTarget* t) override { inner_.setPreviewTarget(t); }
    void setErrorHandler(ErrorHandler h) override { inner_.setErrorHandler(std::move(h)); }
    void setDevicesChangedHandler(std::function<void()> h) override {
        inner_.setDevicesChangedHandler(std::move(h));
    }
    void setRecordingHandler(RecordingHandler h) override {
        inner_.setRecordingHandler(std::move(h));
    }
    bool deviceAvailable() const override { return inner_.deviceAvailable(); }
    void setQuiet(bool quiet) { quiet_ = quiet; }

  private:
    // "CAPTURE Video." + text.
    void log(const std::string& text) const;

    VideoControl& inner_;
    CallSink sink_;
    bool quiet_ = false;
};

} // namespace kestle::capture
