// SPDX-License-Identifier: GPL-3.0-or-later
// "Capture Display", "Clear Display", "Review Screen text" and "View Logs
// and Screen Shots".
#include "records/records.h"

namespace kestle::records {

void Records::Save_Main_display_Click() {
    // The user's own word list is private: its words are never stored.
    if (st_.usword == 1)
        return;
    stampTem();
    const std::string text = f_.main_display->text();
    cv_.setShown(true);
    cv_.Picture1->setText(text);
    ++st_.session;
    // Windows drops the trailing blank of the name by itself; drop it everywhere.
    const std::string name = captureFileName(appath_, st_.tem, st_.session, kScreenSuffix);
    const Status s = renderer_.render(text, name);
    cv_.setShown(false);
    if (!s)
        host_.messageBox(forms::kAppTitle,
                         "The screen capture " + name + " could not be stored: " + s.error());
    else {
        host_.status("Screen captured: " + name);
        if (onScreenCapture)
            onScreenCapture(name);
    }
    f_.question->setEnabled(true);
    host_.focus("question");
}

void Records::clear_main_Click() {
    f_.veiwlog->setText("");
    f_.main_display->setText("");
    f_.question->setEnabled(true);
    host_.focus("question");
}

void Records::logtext_Click() {
    const bool show = !f_.logtext->checked();
    f_.logtext->setChecked(show);
    f_.veiwlog->setVisible(show);
}

void Records::veiwall_Click() {
    if (!host_.openWithDefaultProgram(dataDir_))
        host_.messageBox(forms::kAppTitle, "No program could open the data folder " + appath_);
}

} // namespace kestle::records
