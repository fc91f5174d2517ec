// Capture on alarm after the alarm checks, and the picture of each tick.
#include "records/records.h"

namespace kestle::records {

void Records::captureOnAlarmStage() {
    if (alarmTripped_ > 0) {
        // Every tripped cycle starts the recording again under a new name.
        if (f_.av8->checked()) {
            st_.aud = 1;
            stampTem();
            const auto n = nextFileCounter(st_.Asession);
            audio_.setCaptureFileName(captureFileName(appath_, st_.tem, n, kAlarmAudioSuffix));
            audio_.start();
        }
        if (f_.vo2->checked()) {
            stampTem();
            const auto n = nextFileCounter(st_.Bsession);
            video_.snapShot(captureFileName(appath_, st_.tem, n, kAlarmPictureSuffix));
        }
        return;
    }
    if (f_.av8->checked() && st_.aud == 1) {
        st_.aud = 0;
        audio_.stop();
    }
}

void Records::imageQaCapture() {
    stampTem();
    const auto n = nextFileCounter(st_.Bsession);
    video_.snapShot(captureFileName(appath_, st_.tem, n, kQaPictureSuffix));
}

} // namespace kestle::records
