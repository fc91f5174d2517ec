// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The audio and video capture controls, with the operations the main window
// and the set-up form use. Backends: GStreamer (cameras and microphones, or
// the test sources) and none; the call log wraps any of them. They are
// chosen in one place, app/backends.
//
// Threads: every call, and every callback a control makes (errors, device
// changes, preview frames), happens on the window thread. No call waits for
// a device or a pipeline; what goes wrong later is reported through the
// error handler.
#include "forms/control.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestle::capture {

using forms::Rgb;

// Start's status.
inline constexpr int kStarted = 0;
inline constexpr int kStartFailed = -1; // no device, a wrong compressor, a file that cannot be made
inline constexpr int kFileNotFound = -2; // no file name, or its folder does not exist

// A list of names (devices, inputs, formats, compressors).
using NameList = std::vector<std::string>;
// Position of `name` in `list`; -1 when it is absent.
int findIndex(const NameList& list, const std::string& name);

// Something that went wrong in a control, at once or later (a file that
// cannot be made, a device lost, a full disk). Reported once.
struct CaptureError {
    enum class Source { Audio, Video };
    Source source = Source::Video;
    std::string file;   // the file concerned; empty when there is none
    std::string reason; // e.g. "No camera found", "No space left on device"
};
// One line for the status bar, e.g. "Video capture: /data/x.AVI: No space left on device".
std::string describe(const CaptureError& e);
using ErrorHandler = std::function<void(const CaptureError&)>;

// A recording's file made (`finished` false) or finished (true; `problem`
// says why it was cut short, empty when it ended as asked). `file` is the
// name actually used (" (2)" when the asked one existed).
struct RecordingNotice {
    CaptureError::Source source = CaptureError::Source::Audio;
    bool finished = false;
    std::string file;
    std::string problem;
};
using RecordingHandler = std::function<void(const RecordingNotice&)>;

// A whole-number setting: a compressor's quality, a camera's brightness.
struct Setting {
    std::string name;
    int min = 0, max = 0, value = 0;
};

// One picture: 32-bit pixels, bytes B G R x in memory. Handed out as a
// shared_ptr that keeps the pixels alive.
struct VideoFrame {
    int width = 0, height = 0, stride = 0;
    const std::uint8_t* pixels = nullptr;
};

// How the live picture is to be shown.
struct PreviewLook {
    bool visible = true; // Video.Visible
    bool keepAspectRatio = true;
    Rgb backColor = 0x000000;
    std::string message; // shown instead of a picture, e.g. "No camera found"
};

// Where the live picture is shown: a widget the window supplies.
class PreviewTarget {
  public:
    virtual ~PreviewTarget() = default;
    virtual void setLook(const PreviewLook& look) = 0;
    // The newest picture; nullptr when the picture stopped.
    virtual void showFrame(std::shared_ptr<const VideoFrame> frame) = 0;
};

// What both controls offer the application beyond the operations.
class ControlHooks {
  public:
    virtual ~ControlHooks() = default;
    virtual void setErrorHandler(ErrorHandler handler) = 0;
    // Called when the device lists changed (a device plugged or pulled, or
    // the first search for devices ended).
    virtual void setDevicesChangedHandler(std::function<void()> handler) = 0;
    // True when the control has a device to record from.
    virtual bool deviceAvailable() const = 0;
    // Told when a recording's file is made and when it is finished. A
    // control that never records a file may ignore it.
    virtual void setRecordingHandler(RecordingHandler /*handler*/) {}
};

// A microphone that start() or keepPreRoll() starts is a result outstanding
// on the scheduler until its first sound (or its failure or stop, at most a
// few seconds), so that a script's next line counts its time from there.
class AudioControl : public ControlHooks {
  public:
    // Path of the next recording (WAV, 16-bit PCM).
    virtual void setCaptureFileName(const std::string& path) = 0;
    // Starts recording into CaptureFileName. While a recording runs, the
    // name of that recording resumes it; another name finishes it and goes
    // on in the new file without losing samples. An existing file is never
    // overwritten. Returns kStarted, kStartFailed or kFileNotFound.
    virtual int start() = 0;
    // Finishes the file; its header is exact.
    virtual void stop() = 0;
    // Paused time is left out of the file.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // "Capture On Alarm" checked: the microphone keeps running and its last
    // seconds (the pre-roll the control was made with) are kept, so that a
    // recording started while none runs begins with them (or, when a new
    // name comes before its first sample, the next one); a new name during
    // a recording goes on from its last sample. Off stops the microphone
    // once no recording runs. Nothing happens with no pre-roll.
    virtual void keepPreRoll(bool on) = 0;
    // True while sound arrives from the microphone (it costs battery).
    virtual bool listening() const = 0;

    // Devices, for the set-up form.
    virtual NameList audioDevices() const = 0;
    virtual void setAudioDevice(int index) = 0;
    virtual void selectAudioDevice(int index) = 0;
    virtual NameList audioInputs() const = 0;
    virtual void setAudioInput(int index) = 0;
};

class VideoControl : public ControlHooks {
  public:
    // What the main window uses.
    virtual void setVisible(bool on) = 0;
    virtual void setCaptureFileName(const std::string& path) = 0;
    virtual void setCaptureToFile(bool on) = 0;
    virtual void setPreviewWhenCapture(bool on) = 0;
    virtual void setShowDateTime(bool on) = 0;
    // Starts the live picture, and with CaptureToFile a recording (AVI) into
    // CaptureFileName. Returns kStarted, kStartFailed or kFileNotFound.
    virtual int start() = 0;
    // Stops the recording (the file is finished) and the live picture.
    virtual void stop() = 0;
    // Saves the picture as the viewer sees it as a JPEG file (written
    // elsewhere; a failure is reported through the error handler).
    virtual void snapShot(const std::string& path) = 0;

    // Devices, formats and compressors, for the set-up form.
    virtual NameList videoDevices() const = 0;
    virtual NameList videoInputs() const = 0;
    virtual NameList videoFormats() const = 0;
    virtual NameList videoCompressors() const = 0;
    virtual void selectVideoDevice(int index) = 0;
    virtual void setVideoDevice(int index) = 0;
    virtual void setVideoInput(int index) = 0;
    virtual void setVideoFormat(int index) = 0;
    virtual void setVideoCompressor(int index) = 0;
    virtual void setUseVideoCompressor(bool on) = 0;
    virtual void setCaptureVideo(int checked) = 0;
    virtual void setKeepAspectRatio(bool on) = 0;
    virtual void setBackColor(Rgb color) = 0;
    virtual void setTVMute(bool on) = 0;
    // The camera's own settings (empty when it has none) and a change to one.
    virtual std::vector<Setting> deviceSettings() const = 0;
    virtual void applyDeviceSetting(const std::string& name, int value) = 0;
    // A compressor's setting (its quality); an empty name when it has none.
    virtual Setting compressorSetting(int index) const = 0;
    virtual void applyCompressorSetting(int index, int value) = 0;

    // Overlays; `slot` is always 0.
    virtual void setDateColor(Rgb color) = 0;
    virtual void setDateFontName(const std::string& name) = 0;
    virtual void setDateFontSize(double size) = 0;
    virtual void setDateFontStyle(int style) = 0;
    virtual void drawDateTime(int format, int left, int top) = 0;
    virtual void showText(int slot, bool on) = 0;
    virtual void drawText(int slot, int left, int top, const std::string& text) = 0;
    virtual void setTextColor(int slot, Rgb color) = 0;
    virtual void setFontName(int slot, const std::string& name) = 0;
    virtual void setFontSize(int slot, int size) = 0;
    virtual void setFontStyle(int slot, int style) = 0;
    virtual void setTextStyle(int slot, int style) = 0;
    virtual void setOutlineBackColor(int slot, Rgb color) = 0;
    virtual void setOutlineBorderColor(int slot, Rgb color) = 0;
    virtual void setHatchBrush(int slot, int style, Rgb fore, Rgb back) = 0;
    virtual void setTextureImage(int slot, const std::string& path) = 0;
    virtual void showImage(int slot, bool on) = 0;
    virtual void drawImage(int slot, int left, int top, const std::string& path, Rgb transparent,
                           int alpha) = 0;
    // Rotation and flip position 0 to 11; another value is ignored.
    virtual void setRotation(int position) = 0;
    virtual void invertColor(bool on) = 0;

    // The live picture's widget (not owned; nullptr: none, as headless).
    virtual void setPreviewTarget(PreviewTarget* target) = 0;
};

} // namespace kestle::capture
