// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a session event shows on a chart and in an event list: its kind,
// caption and detail, in one place for the live chart and for the review
// of a journal's typed lines. `ms` and `file` are the caller's. No toolkit;
// any thread.
#include "review/session_model.h"
#include "support/session_events.h"

#include <optional>
#include <string>

namespace kestle::review {

// The file name without its folders ("/d/7 a.wav" -> "7 a.wav").
std::string baseName(const std::string& path);
// "7 a.wav (audio)": a recording as its marker names it.
std::string recordingCaption(const std::string& path, bool audio);

// A session mark as its marker names it: the note, or "Mark" without one
// (never "Reviewer mark": those are the review ledger's).
std::string markCaption(const std::string& note);

// Nothing for events that have no marker of their own (words, speech,
// capture calls, ...).
std::optional<Event> reviewEvent(const events::Event& e);

} // namespace kestle::review
