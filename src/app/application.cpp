#include "app/application.h"

#include "app/headless_host.h"
#include "app/main_window.h"
#include "app/script_runner.h"
#include "device/link_factory.h"
#include "support/realtime_scheduler.h"
#include "support/termination.h"
#include "support/virtual_scheduler.h"

#include <fstream>
#include <memory>

namespace kestle::app {

Paths resolvePaths(const Options& o, const std::filesystem::path& executableDir) {
    Paths p = defaultPaths(executableDir);
    if (o.appDir)
        p.appDir = *o.appDir;
    if (o.dataDir)
        p.dataDir = *o.dataDir;
    if (o.userList)
        p.userList = *o.userList;
    return p;
}

bool readScript(const std::string& name, std::istream& in, std::vector<std::string>& lines,
                std::string& error) {
    std::ifstream file;
    std::istream* src = &in;
    if (name != "-") {
        file.open(name, std::ios::binary);
        if (!file) {
            error = "cannot read the script " + name;
            return false;
        }
        src = &file;
    }
    std::string l;
    while (std::getline(*src, l))
        lines.push_back(l);
    return true;
}

Result<std::unique_ptr<device::HidLink>> makeLink(const Options& o, Scheduler& sched) {
    return device::makeHidLink(o.device, sched, o.simSeed, o.record);
}

void addDeviceCommands(ScriptRunner& runner, device::HidLink& link) {
    device::Pluggable* p = device::asPluggable(link);
    runner.addCommand("plug", [p](const std::string&) -> std::string {
        if (!p)
            return "plug works only with --device sim or replay:FILE";
        p->plug();
        return {};
    });
    runner.addCommand("unplug", [p](const std::string&) -> std::string {
        if (!p)
            return "unplug works only with --device sim or replay:FILE";
        p->unplug();
        return {};
    });
}

int runHeadless(const Options& o, const Paths& paths, std::ostream& out, std::ostream& err,
                std::istream& in, records::ScreenRenderer* renderer) {
    std::vector<std::string> lines;
    if (!o.script.empty()) {
        std::string e;
        if (!readScript(o.script, in, lines, e)) {
            err << "kestle: " << e << '\n';
            return 2;
        }
    }
    std::unique_ptr<VirtualScheduler> virt;
    std::unique_ptr<RealTimeScheduler> real;
    Scheduler* sched;
    if (o.clock) {
        virt = std::make_unique<VirtualScheduler>(*o.clock);
        sched = virt.get();
    } else {
        real = std::make_unique<RealTimeScheduler>();
        sched = real.get();
    }

    auto link = makeLink(o, *sched);
    if (!link) {
        err << "kestle: " << link.error() << '\n';
        return 2;
    }
    HeadlessHost host(out);
    MainWindow win(*sched, host, paths, o, std::move(*link), renderer);
    ScriptRunner runner(win, out, &host);
    addDeviceCommands(runner, win.link());
    runner.load(std::move(lines));
    win.onEnded = [sched] { sched->stop(); };
    // The end of the script chooses Exit, as `quit` does.
    runner.onFinished = [&win] { win.quit(); };
    // A terminated session ends as a closed window does, unless a virtual
    // clock runs it (then nothing waits long enough to be killed).
    std::unique_ptr<TerminationWatch> watch;
    if (!o.clock) {
        watch = std::make_unique<TerminationWatch>(*sched, [&win] { win.terminate(); });
    }
    sched->callAfter(0, [&] {
        win.start();
        runner.start();
    });
    if (virt)
        virt->run();
    else
        real->run();
    return runner.hadErrors() ? 2 : 0;
}

} // namespace kestle::app
