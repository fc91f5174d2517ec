// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preferences the settings file does not have, read without the window
// toolkit so that headless runs honour them too. The file is the one the
// window keeps through QSettings: $XDG_CONFIG_HOME/kestle/preferences.ini,
// else ~/.config/kestle/preferences.ini, in QSettings' INI format
// ("[group]" lines, then "key=value"). Only read here.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestle::app {

// The file QSettings uses, from XDG_CONFIG_HOME or HOME as they are now.
std::filesystem::path preferencesFile();

// The value of `key` in `[group]`, spaces and quotes around it removed;
// nullopt when it is not there. The last of repeated keys counts, as in
// QSettings.
std::optional<std::string> preferenceValue(std::string_view fileText, std::string_view group,
                                           std::string_view key);

inline constexpr int kDefaultAlarmPreRollSeconds = 5;

// capture/alarmPreRollSeconds: whole seconds of sound before each alarm
// recording, 0 (none) to 60. Anything else, or no such key, gives 5.
int alarmPreRollSeconds(std::string_view fileText);
// The same from the preferences file; 5 when it cannot be read.
int alarmPreRollSeconds();

} // namespace kestle::app
