// Builds the alarms, the log stage and the screen text commands, and the
// capture stages and menu.
#include "app/main_window.h"
#include "capture/alarm_capture.h"
#include "capture/capture_menu.h"
#include "ecm/word_engine.h"
#include "records/records.h"

namespace kestle::app {

void MainWindow::wireRecords() {
    records_ = std::make_unique<records::Records>(
        main_, cvform_, st_, host_, logs_, sched_, paths_.dataDir, *backends_.renderer,
        [this] { return ecm_ ? ecm_->lastWord() : std::string(); });
    records::Records& r = *records_;
    acq_->stages.logs = [&r] { r.logStage(); };
    acq_->stages.alarms = [&r] { r.alarmStage(); };
    acq_->stages.saveDisplay = [&r] { r.saveDisplay(); };
    qa_->writeQuestionLine = [&r](const std::string& q) { r.writeQuestionLine(q); };
}

void MainWindow::wireCapture() {
    alarmCapture_ = std::make_unique<capture::AlarmCapture>(main_, st_, *audio_, *video_, sched_,
                                                            paths_.dataDir);
    capture::AlarmCapture& a = *alarmCapture_;
    records::Records& r = *records_;
    acq_->stages.captureOnAlarm = [&a, &r] { a.stage(r.alarmTripped() != 0); };
    acq_->stages.imageQaCapture = [&a] { a.imageQaCapture(); };
    captureMenu_ = std::make_unique<capture::CaptureMenu>(main_, vid2_, st_, *audio_, *video_,
                                                          sched_, paths_.dataDir);
}

} // namespace kestle::app
