// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `kestle --verify DIR`: the bag checked as RFC 8493 says (evidence/
// bag_verify.h). Each problem, warning and what could not be checked goes
// to `err`, one a line, and then the verdict, which names the bag's version;
// a valid bag's verdict goes to `out`. Stops between two chunks once `stop`
// is set. Returns 0 valid, 1 invalid, 2 when the bag could not be checked
// (not a folder, unreadable, a version or an algorithm this program does
// not know, stopped).
#include "evidence/bag_reader.h"

#include <filesystem>
#include <iosfwd>

namespace kestle::app {

int verifyCommand(const std::filesystem::path& bag, std::ostream& out, std::ostream& err,
                  evidence::StopFlag stop = {});

} // namespace kestle::app
