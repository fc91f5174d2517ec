#pragma once
// Where the controls of each form stand, in twips.
#include "ui/form_view.h"

#include <vector>

namespace kestle::ui {

const Layout& mainLayout();

// Fixed captions of the main window that no handler changes (twips, absolute).
struct Caption {
    const char* text;
    int left, top;
};
const std::vector<Caption>& mainCaptions();
const Layout& splashLayout();
const Layout& aboutLayout();
// The capture set-up form: the tab strip, and each page's controls relative
// to their page.
const Layout& setupLayout();
inline constexpr int kSetupWidth = 9840, kSetupHeight = 6840;

} // namespace kestle::ui
