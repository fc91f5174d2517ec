// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the word engine and the speech output of the main window.
#include "app/main_window.h"
#include "ecm/announcing_speech.h"
#include "ecm/word_engine.h"

namespace kestle::app {

void MainWindow::wireEcm() {
    for (const std::string& notice : backends_.notices)
        host_.status(notice);
    speech_ = std::make_unique<ecm::AnnouncingSpeech>(
        std::move(backends_.speech), [this](const events::Event& e) { publish(e); });
    ecm_ = std::make_unique<ecm::WordEngine>(sched_, main_, st_, host_, *acq_, rnd_, *speech_,
                                             paths_.userList);
    acq_->stages.wordSelection = [this] { return ecm_->wordStage(); };
    acq_->stages.phoneme = [this] { ecm_->htime_Tick(); };
    onLoadList = [this] { ecm_->loadlist(); };
}

} // namespace kestle::app
