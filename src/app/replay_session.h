// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `kestle --replay-session DIR --data-dir OUT`: the session of a bag run
// again headless in virtual time from its start, its journal's actions at
// their times against its recorded trace, with the settings it started
// with. The logs (and the replay's own bag) go to OUT. The bag is verified
// first: one that fails is replayed all the same, with a warning on `err`
// that says what failed. It is read through the guarded bag reader: the
// journal and the trace (inflated as it is read, at most 1 GiB) line by
// line, never whole into memory nor into a temporary file. Stops, before
// the run, once `stop` is set.
#include "app/options.h"
#include "evidence/bag_reader.h"

#include <iosfwd>

namespace kestle::app {

// The exit status: that of the replayed run, 2 when the bag cannot be used.
int runReplaySession(const Options& o, std::ostream& out, std::ostream& err,
                     evidence::StopFlag stop = {});

} // namespace kestle::app
