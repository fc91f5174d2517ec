// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "app/backends.h"
#include "app/headless_host.h"
#include "app/script_runner.h"
#include "app/session_evidence.h"
#include "device/link_factory.h"
#include "support/realtime_scheduler.h"
#include "support/virtual_scheduler.h"

#include <fstream>

namespace kestle::app {

Paths resolvePaths(const Options& o, const std::filesystem::path& executableDir) {
    Paths p = defaultPaths(executableDir);
    if (o.appDir) {
        p.appDir = *o.appDir;
        p.assetDir.clear(); // the given folder holds BOX.BMP and the manual too
    }
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

Result<std::unique_ptr<AppRun>> AppRun::make(const Options& o, const Paths& paths, Scheduler& sched,
                                             UiHost& host, std::istream& in, std::ostream& out,
                                             HeadlessHost* answers, bool watchSignals) {
    std::vector<std::string> lines;
    if (!o.script.empty()) {
        std::string e;
        if (!readScript(o.script, in, lines, e))
            return Error{e};
    }
    auto backends = makeBackends(o, sched);
    if (!backends)
        return Error{backends.error()};
    std::unique_ptr<AppRun> run(new AppRun);
    run->evidence_ = std::make_unique<SessionEvidence>(sched, o, paths, run->events_);
    SessionEvidence& evidence = *run->evidence_;
    evidence.recordTrace(*backends);
    run->win_ = std::make_unique<MainWindow>(sched, evidence.host(host, answers == nullptr),
                                             run->events_, paths, o, std::move(*backends));
    MainWindow& win = *run->win_;
    win.onEnded = [&sched, &evidence] {
        evidence.ended();
        sched.stop();
    };
    if (!o.script.empty() || answers) {
        run->runner_ = std::make_unique<ScriptRunner>(win, out, answers);
        addDeviceCommands(*run->runner_, win.link());
        run->runner_->load(std::move(lines));
    }
    evidence.attach(win, run->runner_.get());
    if (watchSignals)
        run->watch_ = std::make_unique<TerminationWatch>(sched, [&win] { win.terminate(); });
    return run;
}

AppRun::~AppRun() {
    // No signal may reach a window that is gone.
    watch_.reset();
    // The window's backends finish their capture files as they go; only
    // then is the session sealed.
    runner_.reset();
    win_.reset();
    if (evidence_)
        evidence_->seal();
}

void AppRun::start(bool exitAtScriptEnd) {
    if (runner_ && exitAtScriptEnd)
        runner_->onFinished = [this] { win_->quit(); };
    win_->scheduler().callAfter(0, [this] {
        win_->start();
        if (runner_)
            runner_->start();
    });
}

int AppRun::exitStatus() const {
    return runner_ && runner_->hadErrors() ? 2 : 0;
}

int runHeadlessOn(const Options& o, const Paths& paths, Scheduler& sched,
                  const std::function<void()>& loop, const Attach& attach, std::ostream& out,
                  std::ostream& err, std::istream& in) {
    HeadlessHost host(out);
    auto run = AppRun::make(o, paths, sched, host, in, out, &host, true);
    if (!run) {
        err << "kestle: " << run.error() << '\n';
        return 2;
    }
    auto attached = attach(**run, out);
    if (!attached) {
        err << "kestle: " << attached.error() << '\n';
        return 2;
    }
    (*run)->start(true);
    loop();
    // What is attached looks at the window: it goes first.
    attached->reset();
    return (*run)->exitStatus();
}

int runHeadless(const Options& o, const Paths& paths, std::ostream& out, std::ostream& err,
                std::istream& in) {
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
    HeadlessHost host(out);
    // A terminated session ends as a closed window does, unless a virtual
    // clock runs it (then nothing waits long enough to be killed).
    auto run = AppRun::make(o, paths, *sched, host, in, out, &host, !o.clock);
    if (!run) {
        err << "kestle: " << run.error() << '\n';
        return 2;
    }
    (*run)->start(true);
    if (virt)
        virt->run();
    else
        real->run();
    return (*run)->exitStatus();
}

} // namespace kestle::app
