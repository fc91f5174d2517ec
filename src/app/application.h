// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Entry points shared by the executable and the tests.
#include "app/main_window.h"
#include "app/options.h"
#include "app/paths.h"
#include "device/hid_link.h"
#include "support/scheduler.h"
#include "support/session_events.h"
#include "support/termination.h"

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace kestle::app {

class HeadlessHost;
class ScriptRunner;
class SessionEvidence;

// Paths from the options, falling back to the platform defaults.
Paths resolvePaths(const Options& o, const std::filesystem::path& executableDir);

// Reads a script (a file, or "-" for `in`); false with an error text when the
// file cannot be read.
bool readScript(const std::string& name, std::istream& in, std::vector<std::string>& lines,
                std::string& error);

// Script commands that belong to the backend: plug and unplug.
void addDeviceCommands(ScriptRunner& runner, device::HidLink& link);

// One run of the application, in a window or headless: the backends, the
// main window's logic, the operator script and the end. The driver supplies
// the scheduler and the user-interface host, and runs the loop until the
// run stops it (sched.stop()). Window thread only.
class AppRun {
  public:
    // Errors, and then nothing runs: a script that cannot be read, a backend
    // that cannot be made. `answers` takes the script's answers (headless,
    // else nullptr); script output lines go to `out`. `watchSignals` turns
    // SIGTERM, SIGINT and SIGHUP into the window's termination.
    static Result<std::unique_ptr<AppRun>> make(const Options& o, const Paths& paths,
                                                Scheduler& sched, UiHost& host, std::istream& in,
                                                std::ostream& out, HeadlessHost* answers,
                                                bool watchSignals);
    ~AppRun();

    MainWindow& window() { return *win_; }
    // Schedules the start (the disclaimer, then the main window) and the
    // script. With `exitAtScriptEnd` the end of the script chooses Exit.
    void start(bool exitAtScriptEnd);
    // 0, or 2 after script errors.
    int exitStatus() const;

  private:
    AppRun() = default;
    // What happens in the session; before all that publish or listen.
    events::SessionEvents events_;
    // Made first and sealed last: the window's link writes into its trace.
    std::unique_ptr<SessionEvidence> evidence_;
    std::unique_ptr<MainWindow> win_;
    std::unique_ptr<ScriptRunner> runner_;
    std::unique_ptr<TerminationWatch> watch_;
};

// Runs the application without a window. Returns the exit status: 0 after
// a normal end, 2 after script errors or bad options.
int runHeadless(const Options& o, const Paths& paths, std::ostream& out, std::ostream& err,
                std::istream& in);

// The same in real time on a loop the driver runs (the remote view needs
// the toolkit's): `loop` runs until `sched` is stopped. `attach` is given
// the run before it starts and may return what lives beside it (dropped
// before the run ends) or an error (then nothing runs: status 2).
using Attach = std::function<Result<std::shared_ptr<void>>(AppRun& run, std::ostream& out)>;
int runHeadlessOn(const Options& o, const Paths& paths, Scheduler& sched,
                  const std::function<void()>& loop, const Attach& attach, std::ostream& out,
                  std::ostream& err, std::istream& in);

} // namespace kestle::app
