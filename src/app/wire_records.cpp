// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the alarms, the log stage and the screen text commands, and the
// capture stages and menu.
#include "app/main_window.h"
#include "capture/alarm_capture.h"
#include "capture/call_log.h"
#include "capture/capture_menu.h"
#include "capture/setup_form.h"
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
    setupForm_ = std::make_unique<capture::SetupForm>(vid2_, *video_, *audio_, host_);
    // What fails in a control, at once or later, goes to the status line.
    auto toStatus = [this](const capture::CaptureError& e) { host_.status(capture::describe(e)); };
    audio_->setErrorHandler(toStatus);
    video_->setErrorHandler(toStatus);
    // Plugged and pulled cameras and microphones show in the set-up form;
    // the form reacting is no operator action, so it is not printed.
    video_->setDevicesChangedHandler(
        [this] { unlogged([this] { setupForm_->devicesChanged(); }); });
}

void MainWindow::loadSetupForm() {
    unlogged([this] { setupForm_->Form_Load(); });
}

void MainWindow::unlogged(const std::function<void()>& fn) {
    video_->setQuiet(true);
    audio_->setQuiet(true);
    fn();
    video_->setQuiet(false);
    audio_->setQuiet(false);
}

capture::AudioControl& MainWindow::audio() {
    return *audio_;
}

capture::VideoControl& MainWindow::video() {
    return *video_;
}

} // namespace kestle::app
