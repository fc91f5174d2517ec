// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "PC A/V" menu: video capture, the two image captures, the three audio
// captures and the set-up form. Each item drives the capture controls and
// keeps its group exclusive by enabling and disabling the other items.
// Window thread only.
#include "capture/capture_controls.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "support/scheduler.h"

#include <filesystem>
#include <string>

namespace kestle::capture {

class CaptureMenu {
  public:
    // Installs the items' handlers. Everything given outlives the menu.
    CaptureMenu(forms::MainForm& f, forms::Vid2Form& vid2, forms::MainState& st,
                AudioControl& audio, VideoControl& video, Scheduler& sched,
                const std::filesystem::path& dataDir);

    void av1_Click();
    // "Image QA Capture" (av7) and "Image Capture on Alarm" (vo2).
    void imageItemClick(forms::Control* item);
    void av3_Click();
    void av4_Click();
    void av8_Click();
    void vidtext_Click();

  private:
    std::string nextName(std::int16_t& counter, const char* suffix);

    forms::MainForm& f_;
    forms::Vid2Form& vid2_;
    forms::MainState& st_;
    AudioControl& audio_;
    VideoControl& video_;
    Scheduler& sched_;
    std::string appath_;
};

} // namespace kestle::capture
