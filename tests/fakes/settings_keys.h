// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keys a save writes, in its order, each with the value a start reads
// from `fileBytes`: what saving an unchanged session writes back.
#include "app/inifile.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestle::test {

inline std::vector<IniEntry> saveEntries(std::string_view fileBytes) {
    std::vector<std::pair<std::string, std::string>> keys = {{"SCREEN", "TEXT"}};
    for (const char* k : {"SUBHZ", "LOWHZ", "LOWHZ1", "LOWHZ2", "LOWHZ3", "LOWMIDHZ", "MIDHZ1",
                          "MIDHZ2", "HIGHHZ1", "HIGHHZ2", "HIGHHZ3"})
        keys.emplace_back("RF", k);
    for (const char* k : {"V1", "V2", "V3"})
        keys.emplace_back("VIDEO", k);
    for (int i = 1; i <= 12; ++i)
        keys.emplace_back("ALARM", "ALARM" + std::to_string(i));
    for (int i = 1; i <= 12; ++i)
        keys.emplace_back("ALARM", "ALARM" + std::to_string(i) + "V");
    keys.insert(keys.end(), {{"NAG", "NAGSCREEN"}, {"TEMP", "CAL"}, {"MAG", "CAL"}});
    std::vector<IniEntry> entries;
    for (const auto& [section, key] : keys)
        entries.push_back({section, key, iniValue(fileBytes, section, key)});
    return entries;
}

// The text after applying `entries` in memory, as one save does.
inline std::string applyAll(std::string text, const std::vector<IniEntry>& entries) {
    for (const IniEntry& e : entries)
        text = iniApply(text, e.section, e.key, e.value);
    return text;
}

} // namespace kestle::test
