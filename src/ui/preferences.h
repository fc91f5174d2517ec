// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Preferences the settings file does not have, kept apart from it in
// $XDG_CONFIG_HOME/kestle/preferences.ini (QSettings). Window thread only.
// app/preference_file reads the same file without Qt, for headless runs.
namespace kestle::ui {

bool nightViewPreferred();
void preferNightView(bool on);

// The text size of the main display and the review box, in steps from the
// design's (0); each step is a fifth larger or smaller.
inline constexpr int kSmallestTextStep = -3, kLargestTextStep = 6;
int textSizeStep(); // clamped to the range above; 0 when unset or not a number
void preferTextSizeStep(int step);

} // namespace kestle::ui
