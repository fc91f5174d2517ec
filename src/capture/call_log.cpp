#include "capture/capture_controls.h"

#include "support/quote.h"

namespace kestle::capture {

namespace {

const char* boolText(bool b) {
    return b ? "True" : "False";
}

} // namespace

void CallLogAudio::setCaptureFileName(const std::string& p) {
    sink_("CAPTURE Audio.CaptureFileName = " + quoteText(p));
}
void CallLogAudio::start() {
    sink_("CAPTURE Audio.Start");
}
void CallLogAudio::stop() {
    sink_("CAPTURE Audio.Stop");
}
void CallLogAudio::pause() {
    sink_("CAPTURE Audio.Pause");
}
void CallLogAudio::resume() {
    sink_("CAPTURE Audio.Resume");
}

void CallLogVideo::setVisible(bool on) {
    sink_(std::string("CAPTURE Video.Visible = ") + boolText(on));
}
void CallLogVideo::setCaptureFileName(const std::string& p) {
    sink_("CAPTURE Video.CaptureFileName = " + quoteText(p));
}
void CallLogVideo::setCaptureToFile(bool on) {
    sink_(std::string("CAPTURE Video.CaptureToFile = ") + boolText(on));
}
void CallLogVideo::setPreviewWhenCapture(bool on) {
    sink_(std::string("CAPTURE Video.PreviewWhenCapture = ") + boolText(on));
}
void CallLogVideo::setShowDateTime(bool on) {
    sink_(std::string("CAPTURE Video.ShowDateTime = ") + boolText(on));
}
int CallLogVideo::start() {
    sink_("CAPTURE Video.Start");
    return 0;
}
void CallLogVideo::stop() {
    sink_("CAPTURE Video.Stop");
}
void CallLogVideo::snapShot(const std::string& p) {
    sink_("CAPTURE Video.SnapShot " + quoteText(p));
}

} // namespace kestle::capture
