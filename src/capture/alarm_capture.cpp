// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/alarm_capture.h"

#include "capture/capture_names.h"
#include "support/file_names.h"

namespace kestle::capture {

AlarmCapture::AlarmCapture(forms::MainForm& f, forms::MainState& st, AudioControl& audio,
                           VideoControl& video, Scheduler& sched,
                           const std::filesystem::path& dataDir)
    : f_(f), st_(st), audio_(audio), video_(video), sched_(sched), appath_(appathText(dataDir)) {}

void AlarmCapture::stage(bool alarmTripped) {
    if (alarmTripped) {
        // Every tripped cycle starts the recording again under a new name.
        if (f_.av8->checked()) {
            st_.aud = 1;
            audio_.setCaptureFileName(
                nextCaptureName(st_, sched_, appath_, st_.Asession, kAlarmAudioSuffix));
            audio_.start();
        }
        if (f_.vo2->checked())
            video_.snapShot(
                nextCaptureName(st_, sched_, appath_, st_.Bsession, kAlarmPictureSuffix));
        return;
    }
    if (f_.av8->checked() && st_.aud == 1) {
        st_.aud = 0;
        audio_.stop();
    }
}

void AlarmCapture::imageQaCapture() {
    video_.snapShot(nextCaptureName(st_, sched_, appath_, st_.Bsession, kQaPictureSuffix));
}

} // namespace kestle::capture
