// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture on alarm, the stage of get_data after the alarm checks, and the
// picture of each acquisition tick while "Image QA Capture" is checked.
// Window thread only.
#include "capture/capture_controls.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "support/scheduler.h"

#include <filesystem>
#include <string>

namespace kestle::capture {

class AlarmCapture {
  public:
    // Everything given outlives this object.
    AlarmCapture(forms::MainForm& f, forms::MainState& st, AudioControl& audio, VideoControl& video,
                 Scheduler& sched, const std::filesystem::path& dataDir);

    // Runs once per get_data call with the cycle's alarm-tripped flag: a
    // tripped cycle starts an alarm recording ("Capture On Alarm") under a
    // new name and saves a picture ("Image Capture on Alarm"); the first
    // calm cycle stops the recording.
    void stage(bool alarmTripped);
    // The tick's picture (the caller tests the item and holds `state`).
    void imageQaCapture();

  private:
    forms::MainForm& f_;
    forms::MainState& st_;
    AudioControl& audio_;
    VideoControl& video_;
    Scheduler& sched_;
    std::string appath_;
};

} // namespace kestle::capture
