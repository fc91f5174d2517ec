// SPDX-License-Identifier: GPL-3.0-or-later
// The executable: parses the command line, then runs the application in a
// window, or headless without a window (Qt only paints the screen captures).
#include "app/application.h"
#include "app/main_window.h"
#include "app/replay_session.h"
#include "app/session_evidence.h"
#include "app/verify_command.h"
#include "remote/remote_view_qt.h"
#include "review/listening_commands.h"
#include "review/report.h"
#include "support/quote.h"
#include "support/termination.h"
#include "ui/layouts.h"
#include "ui/live_chart.h"
#include "ui/main_view.h"
#include "ui/preferences.h"
#include "ui/qt_host.h"
#include "ui/qt_scheduler.h"
#include "ui/remote_dialog.h"
#include "ui/review_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStatusBar>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

std::filesystem::path executableDir(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
    return std::filesystem::absolute(argv0).parent_path();
}

int runWindow(const kestle::app::Options& o, const kestle::app::Paths& paths, int argc,
              char** argv) {
    using namespace kestle;
    QApplication qapp(argc, argv);
    ui::QtScheduler sched;
    ui::QtHost host;
    auto run = app::AppRun::make(o, paths, sched, host, std::cin, std::cout, nullptr, true);
    if (!run) {
        std::cerr << "kestle: " << run.error() << '\n';
        return 2;
    }
    app::MainWindow& win = (*run)->window();
    // The remote view stands ready, off unless the command line starts it;
    // it outlives its dialog (a child of the main view).
    remote::RemoteView remoteView(win);
    ui::MainView view(win, o.device == "sim" ? " - SIMULATED KESTLE (not a real unit)" : "");
    host.setParentWindow(&view);
    host.setStatusBar(view.statusBar());
    host.setDialogFolder(paths.dataDir);
    ui::DialogView splash(win.splash(), ui::splashLayout(), 8040, 6240,
                          [&win] { win.endWithoutSaving(); });
    ui::DialogView about(win.about(), ui::aboutLayout(), 5880, 4260,
                         [&win] { win.about().setShown(false); });
    ui::DialogView setup(
        win.vid2(), ui::setupLayout(), ui::kSetupWidth, ui::kSetupHeight,
        [&win] { win.vid2().setShown(false); }, &view);
    for (ui::DialogView* d : {&splash, &about, &setup})
        ui::reportActionsTo(d->formView(), win);
    view.addPreviewTo(setup.formView());
    // The live chart stands ready, closed: it listens only while shown.
    auto* live = new ui::LiveChart(win, &view);
    view.setLiveChart(live);
    auto* remoteDialog = new ui::RemoteDialog(remoteView, &view);
    view.setRemoteView(remoteDialog);
    // Asked for on the command line: the dialog shows the link, or why it
    // could not listen, and the session runs either way.
    if (o.remote)
        remoteDialog->startServing(*o.remote, o.remotePlain);
    (*run)->start(false);
    // In front of the main window, once it shows.
    if (o.remote)
        view.openRemoteView();
    if (o.liveChart)
        view.openLiveChart();
    qapp.exec();
    return (*run)->exitStatus();
}

// Headless with the remote view: the toolkit's event loop serves it.
int runHeadlessRemote(const kestle::app::Options& o, const kestle::app::Paths& paths) {
    using namespace kestle;
    ui::QtScheduler sched;
    auto attach = [&](app::AppRun& run, std::ostream& out) -> Result<std::shared_ptr<void>> {
        auto view = std::make_shared<remote::RemoteView>(run.window());
        if (Status s = view->start(*o.remote, o.remotePlain); !s)
            return Error{s.error()};
        if (o.remotePlain)
            std::cerr << "kestle: the remote view is not encrypted: anyone on the network can "
                         "read what it sends\n";
        else
            std::cerr << "kestle: the remote view's certificate has the SHA-256 fingerprint "
                      << view->fingerprint() << '\n';
        out << "REMOTE " << quoteText(view->pairingUrls().front()) << std::endl;
        return std::shared_ptr<void>(view);
    };
    return app::runHeadlessOn(
        o, paths, sched, [] { QCoreApplication::exec(); }, attach, std::cout, std::cerr, std::cin);
}

} // namespace

int main(int argc, char** argv) {
    using namespace kestle::app;
    kestle::blockTerminationSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult pr = parseOptions(args);
    if (!pr.error.empty()) {
        std::cerr << "kestle: " << pr.error << "\nTry 'kestle --help' for more information.\n";
        return 2;
    }
    const Options& o = pr.options;
    if (o.help) {
        std::cout << usageText();
        return 0;
    }
    if (o.version) {
        std::cout << versionText();
        return 0;
    }
    if (o.verify && o.parent)
        return kestle::review::verifyParentCommand(*o.verify, *o.parent, std::cout);
    // A check, a report or a replay's reading ends soon after a signal
    // (SIGINT, SIGTERM, SIGHUP), its half-written files removed.
    if (o.verify) {
        kestle::SignalStop stop;
        const int rc = verifyCommand(*o.verify, std::cout, std::cerr, stop.flag());
        return stop.signal() ? 128 + stop.signal() : rc;
    }
    if (o.moments)
        return kestle::review::momentsCommand(*o.moments, std::cout, std::cerr);
    if (o.exportMoment) {
        // The spectrogram pictures are painted: a GUI application, no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication gui(argc, argv);
        const auto& x = *o.exportMoment;
        return kestle::review::exportMomentCommand(x.bag, x.start, x.seconds, x.out, std::cout,
                                                   std::cerr);
    }
    if (o.review)
        kestle::unblockTerminationSignals(); // nothing to finish: a signal ends it
    if (o.reportBag) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        kestle::SignalStop stop;
        QGuiApplication gui(argc, argv);
        const int rc = kestle::review::reportCommand(*o.reportBag, *o.reportPdf, std::cout,
                                                     std::cerr, stop.flag());
        return stop.signal() ? 128 + stop.signal() : rc;
    }
    if (o.replaySession) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        kestle::SignalStop stop;
        QGuiApplication gui(argc, argv);
        const int rc = runReplaySession(o, std::cout, std::cerr, stop.flag());
        return stop.signal() ? 128 + stop.signal() : rc;
    }
    if (o.review) {
        // Only the bag is looked at: no Kestle, no session of its own.
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            std::cerr << "kestle: no display found; use --report DIR FILE.pdf for a report.\n";
            return 2;
        }
        QApplication qapp(argc, argv);
        if (kestle::ui::nightViewPreferred())
            QApplication::setPalette(kestle::ui::Theme(true).palette(QApplication::palette()));
        kestle::ui::ReviewWindow review(*o.review);
        review.show();
        return qapp.exec();
    }
    Paths paths = resolvePaths(o, executableDir(argv[0]));
    if (o.headless) {
        // Screen captures paint text, which needs a GUI application; headless
        // runs never need a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication gui(argc, argv);
        if (o.remote)
            return runHeadlessRemote(o, paths);
        return runHeadless(o, paths, std::cout, std::cerr, std::cin);
    }
    // Without a display the toolkit would abort: say what to do instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::cerr << "kestle: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Run with --headless to use the program without a window.\n";
        return 2;
    }
    return runWindow(o, paths, argc, argv);
}
