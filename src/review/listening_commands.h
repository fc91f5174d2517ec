// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command-line side of listening to a night:
//   kestle --moments DIR                       the ranked moments, one a line
//   kestle --export-moment DIR START SECONDS OUT   a moment bag
//   kestle --verify MOMENT --parent DIR        a moment bag and its link
// Exit 0 on success, 1 with the reason on `err`. Analyses are cached as
// the window caches them. Any thread (blocks the caller).
#include "review/moments.h"
#include "review/session_model.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kestle::review {

// The WAV recordings of a night that are in its bag, in time order.
std::vector<const Event*> soundRecordings(const SessionModel& m);

// Every recording's moments, ranked. `progress` gets (recording index,
// share of it) now and then.
Result<std::vector<Moment>>
nightMoments(const SessionModel& m, const std::filesystem::path& cacheFolder,
             const std::string& chosenWord = {}, const std::atomic<bool>* stop = nullptr,
             const std::function<void(std::size_t, double)>& progress = {});

int momentsCommand(const std::filesystem::path& bag, std::ostream& out, std::ostream& err);
int exportMomentCommand(const std::filesystem::path& bag, const std::string& start,
                        const std::string& seconds, const std::filesystem::path& target,
                        std::ostream& out, std::ostream& err);
int verifyParentCommand(const std::filesystem::path& moment, const std::filesystem::path& parent,
                        std::ostream& out);

} // namespace kestle::review
