// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a session event is written in the journal: its event name and its
// fields, in the order the line carries them. Events the journal does not
// keep (a voice falling quiet) give nothing. Pure; any thread.
#include "evidence/journal.h"
#include "support/session_events.h"

#include <optional>
#include <string>

namespace kestle::evidence {

struct JournalEntry {
    std::string event;
    JsonFields fields;
};

std::optional<JournalEntry> journalEntry(const events::Event& e);

} // namespace kestle::evidence
