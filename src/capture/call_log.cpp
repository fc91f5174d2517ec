// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/call_log.h"

#include "support/convert.h"
#include "support/quote.h"

namespace kestle::capture {

namespace {

std::string b(bool on) {
    return on ? "True" : "False";
}
std::string n(long v) {
    return std::to_string(v);
}
std::string c(Rgb color) {
    return rgbHex(color & 0xFFFFFF);
}
// Arguments of a method call, separated as the original's call syntax does.
template <typename... T> std::string args(const T&... a) {
    std::string r;
    ((r += (r.empty() ? "" : ", ") + a), ...);
    return r;
}

} // namespace

void CallLogAudio::log(const std::string& text) const {
    if (!quiet_)
        sink_("Audio." + text);
}

void CallLogAudio::setCaptureFileName(const std::string& p) {
    log("CaptureFileName = " + quoteText(p));
    inner_.setCaptureFileName(p);
}
int CallLogAudio::start() {
    log("Start");
    return inner_.start();
}
void CallLogAudio::stop() {
    log("Stop");
    inner_.stop();
}
void CallLogAudio::pause() {
    log("Pause");
    inner_.pause();
}
void CallLogAudio::resume() {
    log("Resume");
    inner_.resume();
}
void CallLogAudio::setAudioDevice(int i) {
    log("AudioDevice = " + n(i));
    inner_.setAudioDevice(i);
}
void CallLogAudio::selectAudioDevice(int i) {
    log("SelectAudioDevice " + n(i));
    inner_.selectAudioDevice(i);
}
void CallLogAudio::setAudioInput(int i) {
    log("AudioInput = " + n(i));
    inner_.setAudioInput(i);
}

void CallLogVideo::log(const std::string& text) const {
    if (!quiet_)
        sink_("Video." + text);
}

void CallLogVideo::setVisible(bool on) {
    log("Visible = " + b(on));
    inner_.setVisible(on);
}
void CallLogVideo::setCaptureFileName(const std::string& p) {
    log("CaptureFileName = " + quoteText(p));
    inner_.setCaptureFileName(p);
}
void CallLogVideo::setCaptureToFile(bool on) {
    log("CaptureToFile = " + b(on));
    inner_.setCaptureToFile(on);
}
void CallLogVideo::setPreviewWhenCapture(bool on) {
    log("PreviewWhenCapture = " + b(on));
    inner_.setPreviewWhenCapture(on);
}
void CallLogVideo::setShowDateTime(bool on) {
    log("ShowDateTime = " + b(on));
    inner_.setShowDateTime(on);
}
int CallLogVideo::start() {
    log("Start");
    return inner_.start();
}
void CallLogVideo::stop() {
    log("Stop");
    inner_.stop();
}
void CallLogVideo::snapShot(const std::string& p) {
    log("SnapShot " + quoteText(p));
    inner_.snapShot(p);
}
void CallLogVideo::selectVideoDevice(int i) {
    log("SelectVideoDevice " + n(i));
    inner_.selectVideoDevice(i);
}
void CallLogVideo::setVideoDevice(int i) {
    log("VideoDevice = " + n(i));
    inner_.setVideoDevice(i);
}
void CallLogVideo::setVideoInput(int i) {
    log("VideoInput = " + n(i));
    inner_.setVideoInput(i);
}
void CallLogVideo::setVideoFormat(int i) {
    log("VideoFormat = " + n(i));
    inner_.setVideoFormat(i);
}
void CallLogVideo::setVideoCompressor(int i) {
    log("VideoCompressor = " + n(i));
    inner_.setVideoCompressor(i);
}
void CallLogVideo::setUseVideoCompressor(bool on) {
    log("UseVideoCompressor = " + b(on));
    inner_.setUseVideoCompressor(on);
}
void CallLogVideo::setCaptureVideo(int checked) {
    log("CaptureVideo = " + n(checked));
    inner_.setCaptureVideo(checked);
}
void CallLogVideo::setKeepAspectRatio(bool on) {
    log("KeepAspectRatio = " + b(on));
    inner_.setKeepAspectRatio(on);
}
void CallLogVideo::setBackColor(Rgb color) {
    log("BackColor = " + c(color));
    inner_.setBackColor(color);
}
void CallLogVideo::setTVMute(bool on) {
    log("TVMute = " + b(on));
    inner_.setTVMute(on);
}
void CallLogVideo::applyDeviceSetting(const std::string& name, int value) {
    log("DeviceSetting " + quoteText(name) + " = " + n(value));
    inner_.applyDeviceSetting(name, value);
}
void CallLogVideo::applyCompressorSetting(int index, int value) {
    log("CompressorSetting " + n(index) + " = " + n(value));
    inner_.applyCompressorSetting(index, value);
}
void CallLogVideo::setDateColor(Rgb color) {
    log("DateColor = " + c(color));
    inner_.setDateColor(color);
}
void CallLogVideo::setDateFontName(const std::string& name) {
    log("DateFontName = " + quoteText(name));
    inner_.setDateFontName(name);
}
void CallLogVideo::setDateFontSize(double size) {
    log("DateFontSize = " + plainDecimal(size));
    inner_.setDateFontSize(size);
}
void CallLogVideo::setDateFontStyle(int style) {
    log("DateFontStyle = " + n(style));
    inner_.setDateFontStyle(style);
}
void CallLogVideo::drawDateTime(int format, int left, int top) {
    log("DrawDateTime " + args(n(format), n(left), n(top)));
    inner_.drawDateTime(format, left, top);
}
void CallLogVideo::showText(int slot, bool on) {
    log("ShowText " + args(n(slot), b(on)));
    inner_.showText(slot, on);
}
void CallLogVideo::drawText(int slot, int left, int top, const std::string& text) {
    log("DrawText " + args(n(slot), n(left), n(top), quoteText(text)));
    inner_.drawText(slot, left, top, text);
}
void CallLogVideo::setTextColor(int slot, Rgb color) {
    log("SetTextColor " + args(n(slot), c(color)));
    inner_.setTextColor(slot, color);
}
void CallLogVideo::setFontName(int slot, const std::string& name) {
    log("SetFontName " + args(n(slot), quoteText(name)));
    inner_.setFontName(slot, name);
}
void CallLogVideo::setFontSize(int slot, int size) {
    log("SetFontSize " + args(n(slot), n(size)));
    inner_.setFontSize(slot, size);
}
void CallLogVideo::setFontStyle(int slot, int style) {
    log("SetFontStyle " + args(n(slot), n(style)));
    inner_.setFontStyle(slot, style);
}
void CallLogVideo::setTextStyle(int slot, int style) {
    log("SetTextStyle " + args(n(slot), n(style)));
    inner_.setTextStyle(slot, style);
}
void CallLogVideo::setOutlineBackColor(int slot, Rgb color) {
    log("SetOutlineBackColor " + args(n(slot), c(color)));
    inner_.setOutlineBackColor(slot, color);
}
void CallLogVideo::setOutlineBorderColor(int slot, Rgb color) {
    log("SetOutlineBorderColor " + args(n(slot), c(color)));
    inner_.setOutlineBorderColor(slot, color);
}
void CallLogVideo::setHatchBrush(int slot, int style, Rgb fore, Rgb back) {
    log("SetHatchBrush " + args(n(slot), n(style), c(fore), c(back)));
    inner_.setHatchBrush(slot, style, fore, back);
}
void CallLogVideo::setTextureImage(int slot, const std::string& path) {
    log("SetTextureImage " + args(n(slot), quoteText(path)));
    inner_.setTextureImage(slot, path);
}
void CallLogVideo::showImage(int slot, bool on) {
    log("ShowImage " + args(n(slot), b(on)));
    inner_.showImage(slot, on);
}
void CallLogVideo::drawImage(int slot, int left, int top, const std::string& path, Rgb transparent,
                             int alpha) {
    log("DrawImage " + args(n(slot), n(left), n(top), quoteText(path), c(transparent), n(alpha)));
    inner_.drawImage(slot, left, top, path, transparent, alpha);
}
void CallLogVideo::setRotation(int position) {
    log("SetRotation " + n(position));
    inner_.setRotation(position);
}
void CallLogVideo::invertColor(bool on) {
    log("InvertColor " + b(on));
    inner_.invertColor(on);
}

} // namespace kestle::capture
