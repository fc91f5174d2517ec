// Builds the alarms, the log stage and the screen text commands.
#include "app/main_window.h"
#include "ecm/word_engine.h"
#include "records/capture_menu.h"
#include "records/records.h"

namespace kestle::app {

void MainWindow::wireRecords() {
    if (!renderer_) {
        noPicture_ = std::make_unique<records::NoPictureOutput>();
        renderer_ = noPicture_.get();
    }
    records_ = std::make_unique<records::Records>(
        main_, cvform_, st_, host_, logs_, *audio_, *video_, sched_, paths_.dataDir, *renderer_,
        [this] { return ecm_ ? ecm_->lastWord() : std::string(); });
    records::Records& r = *records_;
    acq_->stages.logs = [&r] { r.logStage(); };
    acq_->stages.alarms = [&r] { r.alarmStage(); };
    acq_->stages.captureOnAlarm = [&r] { r.captureOnAlarmStage(); };
    acq_->stages.saveDisplay = [&r] { r.saveDisplay(); };
    acq_->stages.imageQaCapture = [&r] { r.imageQaCapture(); };
    qa_->writeQuestionLine = [&r](const std::string& q) { r.writeQuestionLine(q); };
    captureMenu_ = std::make_unique<records::CaptureMenu>(main_, vid2_, st_, *audio_, *video_,
                                                          sched_, paths_.dataDir);
}

} // namespace kestle::app
