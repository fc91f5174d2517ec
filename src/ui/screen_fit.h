// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every window of the program opens inside its screen's free area (the
// part panels leave), however large it asks to be: a laptop's 1366 x 768
// or 1280 x 720 holds each of them whole. Window thread only.
class QWidget;

namespace kestle::ui {

// Moves a top-level window, and shrinks it where it is larger, so that its
// frame lies inside its screen's free area.
void keepOnScreen(QWidget& window);

// From now on every top-level window of the application is kept on its
// screen when it is first shown (more calls do nothing).
void keepWindowsOnScreen();

} // namespace kestle::ui
