// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the controls of each form stand, in twips.
#include "ui/form_view.h"

#include <vector>

namespace kestle::ui {

const Layout& mainLayout();
inline constexpr int kMainWidth = 12135, kMainHeight = 8775; // twips

// Fixed captions of the main window that no handler changes, in twips
// relative to the frame that holds them.
struct Caption {
    const char* text;
    const char* frame;
    int left, top;
};
const std::vector<Caption>& mainCaptions();
const Layout& splashLayout();
const Layout& aboutLayout();
// What a secondary form's keys do: the button Enter presses when the focus
// is on no button (none: nothing), and the text boxes only read (the
// disclaimer's text). Escape closes each of them.
struct FormKeys {
    const char* defaultButton = nullptr;
    std::vector<const char*> readOnly;
};
FormKeys formKeys(const std::string& formName);
// The capture set-up form: the tab strip, and each page's controls relative
// to their page.
const Layout& setupLayout();
// Below the tab strip, the live picture, so that "Preview" and the overlays
// are seen where they are set.
inline constexpr int kSetupWidth = 9840, kSetupHeight = 9660;
inline constexpr Place kSetupPreview = {120, 6840, 3600, 2700};

} // namespace kestle::ui
