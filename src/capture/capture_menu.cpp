// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_menu.h"

#include "capture/capture_names.h"
#include "support/file_names.h"

namespace kestle::capture {

CaptureMenu::CaptureMenu(forms::MainForm& f, forms::Vid2Form& vid2, forms::MainState& st,
                         AudioControl& audio, VideoControl& video, Scheduler& sched,
                         const std::filesystem::path& dataDir)
    : f_(f), vid2_(vid2), st_(st), audio_(audio), video_(video), sched_(sched),
      appath_(appathText(dataDir)) {
    f_.av1->onClick = [this] { av1_Click(); };
    f_.av7->onClick = [this] { imageItemClick(f_.av7); };
    f_.vo2->onClick = [this] { imageItemClick(f_.vo2); };
    f_.av3->onClick = [this] { av3_Click(); };
    f_.av4->onClick = [this] { av4_Click(); };
    f_.av8->onClick = [this] { av8_Click(); };
    f_.vidtext->onClick = [this] { vidtext_Click(); };
}

std::string CaptureMenu::nextName(std::int16_t& counter, const char* suffix) {
    return nextCaptureName(st_, sched_, appath_, counter, suffix);
}

void CaptureMenu::av1_Click() {
    // The name is set on both branches, so every click uses up a number.
    video_.setCaptureFileName(nextName(st_.Asession, kVideoSuffix));
    if (!f_.av1->checked()) {
        video_.setVisible(true);
        video_.setPreviewWhenCapture(true);
        video_.setShowDateTime(true);
        f_.av1->setChecked(true);
        video_.setCaptureToFile(true);
        (void)video_.start();
        for (forms::Control* c : {f_.av7, f_.vo2, f_.vo3, f_.vo4})
            c->setEnabled(false);
    } else {
        forms::menuoff(f_);
        video_.setVisible(false);
        video_.setPreviewWhenCapture(true);
        video_.setShowDateTime(true);
        video_.stop();
        f_.av1->setChecked(false);
        video_.setCaptureToFile(false);
        video_.stop();
        for (forms::Control* c : {f_.av1, f_.av7, f_.vo2, f_.vo3, f_.vo4})
            c->setEnabled(true);
        forms::menuon(f_);
    }
}

void CaptureMenu::imageItemClick(forms::Control* item) {
    forms::Control* videoItems[] = {f_.av1, f_.av7, f_.vo2, f_.vo3, f_.vo4};
    if (!item->checked()) {
        item->setChecked(true);
        video_.setVisible(true);
        video_.setPreviewWhenCapture(true);
        video_.setShowDateTime(true);
        (void)video_.start();
        for (forms::Control* c : videoItems) {
            if (c != item)
                c->setEnabled(false);
        }
    } else {
        forms::menuoff(f_);
        item->setChecked(false);
        video_.stop();
        video_.setVisible(false);
        for (forms::Control* c : videoItems)
            c->setEnabled(true);
        forms::menuon(f_);
    }
}

void CaptureMenu::av3_Click() {
    if (!f_.av3->checked()) {
        audio_.setCaptureFileName(nextName(st_.Asession, kConstantAudioSuffix));
        audio_.start();
        f_.setCaption("Audio Recording On");
        f_.av3->setChecked(true);
        f_.av4->setEnabled(false);
        f_.av8->setEnabled(false);
    } else {
        audio_.stop();
        f_.setCaption("Audio Recording Off");
        f_.av3->setChecked(false);
        for (forms::Control* c : {f_.av3, f_.av4, f_.av8})
            c->setEnabled(true);
    }
}

void CaptureMenu::av4_Click() {
    if (!f_.av4->checked()) {
        audio_.setCaptureFileName(nextName(st_.Asession, kQaAudioSuffix));
        audio_.start();
        audio_.pause();
        f_.av4->setChecked(true);
        f_.av3->setEnabled(false);
        f_.av8->setEnabled(false);
    } else {
        audio_.stop();
        f_.setCaption("Audio Recording Off");
        f_.av4->setChecked(false);
        for (forms::Control* c : {f_.av3, f_.av4, f_.av8})
            c->setEnabled(true);
    }
}

void CaptureMenu::av8_Click() {
    // No recording starts here; an alarm starts it, with the sound kept
    // from before it.
    if (!f_.av8->checked()) {
        f_.av8->setChecked(true);
        f_.av3->setEnabled(false);
        f_.av4->setEnabled(false);
        audio_.keepPreRoll(true);
    } else {
        f_.av8->setChecked(false);
        audio_.keepPreRoll(false);
        for (forms::Control* c : {f_.av3, f_.av4, f_.av8})
            c->setEnabled(true);
    }
}

void CaptureMenu::vidtext_Click() {
    vid2_.setShown(true);
}

} // namespace kestle::capture
