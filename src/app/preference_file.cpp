// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/preference_file.h"

#include "capture/gst_capture.h"
#include "support/textfile.h"

#include <charconv>
#include <cstdlib>

namespace kestle::app {

namespace {

// A few short lines are usual; anything large is not ours.
constexpr std::uint64_t kMaxPreferencesBytes = 64 * 1024;

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::filesystem::path preferencesFile() {
    // Where QSettings looks: XDG_CONFIG_HOME as given (a relative one from
    // the working folder), else HOME's .config, else the root's.
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        base = "/.config";
    return base / "kestle" / "preferences.ini";
}

std::optional<std::string> preferenceValue(std::string_view text, std::string_view group,
                                           std::string_view key) {
    std::optional<std::string> found;
    bool inGroup = false;
    for (const std::string& raw : splitLines(text)) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            // As QSettings reads it: the name ends at ']' or, without one,
            // at the line's end.
            inGroup = line.substr(1, line.find(']') - 1) == group;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inGroup || eq == std::string_view::npos || trimmed(line.substr(0, eq)) != key)
            continue;
        // A quoted value ends at its quote, another at a ';' comment.
        std::string_view value = trimmed(line.substr(eq + 1));
        if (!value.empty() && value.front() == '"')
            value = value.substr(1, value.find('"', 1) - 1);
        else
            value = trimmed(value.substr(0, value.find(';')));
        found = std::string(value);
    }
    return found;
}

int alarmPreRollSeconds(std::string_view text) {
    const std::optional<std::string> v = preferenceValue(text, "capture", "alarmPreRollSeconds");
    if (!v)
        return kDefaultAlarmPreRollSeconds;
    // Whole numbers as QString::toInt takes them, a plus sign too.
    const char* begin = v->data();
    const char* end = begin + v->size();
    if (end - begin > 1 && *begin == '+' && begin[1] != '-')
        ++begin;
    int seconds = -1;
    const auto [at, ec] = std::from_chars(begin, end, seconds);
    if (ec != std::errc{} || at != end || seconds < 0 || seconds > capture::kMaxPreRollSeconds)
        return kDefaultAlarmPreRollSeconds;
    return seconds;
}

int alarmPreRollSeconds() {
    const Result<std::string> text = readFileBytes(preferencesFile(), kMaxPreferencesBytes);
    return text ? alarmPreRollSeconds(*text) : kDefaultAlarmPreRollSeconds;
}

} // namespace kestle::app
