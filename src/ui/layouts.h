#pragma once
// Where the controls of each form stand, in twips.
#include "ui/form_view.h"

namespace kestle::ui {

const Layout& mainLayout();
const Layout& splashLayout();
const Layout& aboutLayout();

} // namespace kestle::ui
