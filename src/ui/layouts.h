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

} // namespace kestle::ui
