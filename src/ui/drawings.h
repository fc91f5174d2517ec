// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's drawn pictures: the scope's line list scaled into its
// box, and the alignment picture (the unit seen from above, facing north).
// Both follow the box's size and the theme.
#include "scope/drawing.h"
#include "ui/theme.h"

#include <QWidget>
#include <vector>

namespace kestle::ui {

void paintScope(QWidget& w, const std::vector<scope::Line>& lines, const Theme& theme);
void paintNorthPicture(QWidget& w, const Theme& theme);

} // namespace kestle::ui
