#pragma once
// Entry points shared by the executable and the tests.
#include "app/options.h"
#include "app/paths.h"

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kestle::app {

// Paths from the options, falling back to the platform defaults.
Paths resolvePaths(const Options& o, const std::filesystem::path& executableDir);

// Reads a script (a file, or "-" for `in`); false with an error text when the
// file cannot be read.
bool readScript(const std::string& name, std::istream& in, std::vector<std::string>& lines,
                std::string& error);

// Runs the application without a window. Returns the exit status: 0 after
// a normal end, 2 after script errors.
int runHeadless(const Options& o, const Paths& paths, std::ostream& out, std::ostream& err,
                std::istream& in);

} // namespace kestle::app
