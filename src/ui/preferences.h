#pragma once
// Preferences the settings file does not have, kept apart from it in
// $XDG_CONFIG_HOME/kestle/preferences.ini (QSettings). Window thread only.
namespace kestle::ui {

bool nightViewPreferred();
void preferNightView(bool on);

} // namespace kestle::ui
