#pragma once
// `kestle --replay-session DIR --data-dir OUT`: the session of a bag run
// again headless in virtual time from its start, its journal's actions at
// their times against its recorded trace, with the settings it started
// with. The logs (and the replay's own bag) go to OUT.
#include "app/options.h"

#include <iosfwd>

namespace kestle::app {

// The exit status: that of the replayed run, 2 when the bag cannot be used.
int runReplaySession(const Options& o, std::ostream& out, std::ostream& err);

} // namespace kestle::app
