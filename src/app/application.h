#pragma once
// Entry points shared by the executable and the tests.
#include "app/options.h"
#include "app/paths.h"
#include "device/hid_link.h"
#include "support/scheduler.h"

#include <memory>

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kestle::records {
class ScreenRenderer;
} // namespace kestle::records

namespace kestle::app {

class ScriptRunner;

// Paths from the options, falling back to the platform defaults.
Paths resolvePaths(const Options& o, const std::filesystem::path& executableDir);

// Reads a script (a file, or "-" for `in`); false with an error text when the
// file cannot be read.
bool readScript(const std::string& name, std::istream& in, std::vector<std::string>& lines,
                std::string& error);

// The Kestle backend the options ask for; an error text when it cannot be
// made (an unreadable trace, a record file that cannot be created).
Result<std::unique_ptr<device::HidLink>> makeLink(const Options& o, Scheduler& sched);

// Script commands that belong to the backend: plug and unplug.
void addDeviceCommands(ScriptRunner& runner, device::HidLink& link);

// Runs the application without a window. Returns the exit status: 0 after
// a normal end, 2 after script errors. `renderer` draws the screen captures
// (nullptr: they are not stored).
int runHeadless(const Options& o, const Paths& paths, std::ostream& out, std::ostream& err,
                std::istream& in, records::ScreenRenderer* renderer = nullptr);

} // namespace kestle::app
