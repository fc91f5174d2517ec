// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a paired device is sent (the readings as the window shows them, as
// one JSON object) and the only thing it may send back (a mark). Pure.
#include "forms/main_form.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::remote {

struct Snapshot {
    std::int64_t ms = 0;  // when it was read, milliseconds since the epoch
    bool plugged = false; // the unit answers
    // The displays' texts, as shown.
    std::string a, b, freqA, freqB, emf, natural, temperature, threshold, trend;
    int direction = -1;             // the natural field's square, 0 to 3; -1 unknown
    std::vector<std::string> words; // the main display's newest lines, oldest first
    std::string question;           // being answered; empty when none
    std::optional<int> secondsLeft; // of the answer's time
    std::string alarm;              // the newest alarm's lines (alarmLines); empty when quiet
};

// At most this many of the main display's lines are sent.
inline constexpr std::size_t kSnapshotWords = 8;

// Reads the main form's displays. Not the alarm window, which lists the
// limits too: the caller sets `alarm` from the session's alarms.
Snapshot readSnapshot(const forms::MainForm& f, bool plugged, std::int64_t ms);
// An alarm's text as sent: its last three non-empty lines, LF-separated.
std::string alarmLines(std::string_view text);

// One JSON object, UTF-8 assumed (bytes that are not valid are replaced).
std::string toJson(const Snapshot& s);
std::string jsonString(std::string_view text);

// A device's message: "mark" or "mark NOTE". The note comes back cleaned
// (control characters become blanks, outer blanks trimmed, at most
// kMarkNoteBytes bytes, cut at a character's start); nullopt for anything else.
inline constexpr std::size_t kMarkNoteBytes = 200;
std::optional<std::string> markNote(std::string_view message);

} // namespace kestle::remote
