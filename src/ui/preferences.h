#pragma once
// Preferences the settings file does not have, kept apart from it in
// $XDG_CONFIG_HOME/kestle/preferences.ini (QSettings). Window thread only.
// app/preference_file reads the same file without Qt, for headless runs.
namespace kestle::ui {

bool nightViewPreferred();
void preferNightView(bool on);

} // namespace kestle::ui
