// The executable: parses the command line, then runs the application in a
// window, or headless without a window (Qt only paints the screen captures).
#include "app/application.h"
#include "app/main_window.h"
#include "app/script_runner.h"
#include "support/termination.h"
#include "ui/layouts.h"
#include "ui/main_view.h"
#include "ui/qt_host.h"
#include "ui/qt_scheduler.h"
#include "ui/qt_screen_renderer.h"

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
    auto link = app::makeLink(o, sched);
    if (!link) {
        std::cerr << "kestle: " << link.error() << '\n';
        return 2;
    }
    ui::QtScreenRenderer renderer;
    app::MainWindow win(sched, host, paths, o, std::move(*link), &renderer);
    ui::MainView view(win, o.device == "sim" ? " - SIMULATED KESTLE (not a real unit)" : "");
    host.setParentWindow(&view);
    host.setStatusBar(view.statusBar());
    ui::DialogView splash(win.splash(), ui::splashLayout(), 8040, 6240,
                          [&win] { win.endWithoutSaving(); });
    ui::DialogView about(win.about(), ui::aboutLayout(), 5880, 4260,
                         [&win] { win.about().setShown(false); });
    win.onEnded = [&sched] { sched.stop(); };
    kestle::TerminationWatch watch(sched, [&win] { win.terminate(); });

    std::vector<std::string> lines;
    std::unique_ptr<app::ScriptRunner> runner;
    if (!o.script.empty()) {
        std::string err;
        if (!app::readScript(o.script, std::cin, lines, err)) {
            std::cerr << "kestle: " << err << '\n';
            return 2;
        }
        runner = std::make_unique<app::ScriptRunner>(win, std::cout, nullptr);
        runner->load(std::move(lines));
        app::addDeviceCommands(*runner, win.link());
    }
    sched.callAfter(0, [&] {
        win.start();
        if (runner)
            runner->start();
    });
    qapp.exec();
    return runner && runner->hadErrors() ? 2 : 0;
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
    Paths paths = resolvePaths(o, executableDir(argv[0]));
    if (o.headless) {
        // Screen captures paint text, which needs a GUI application; headless
        // runs never need a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication gui(argc, argv);
        kestle::ui::QtScreenRenderer renderer;
        return runHeadless(o, paths, std::cout, std::cerr, std::cin, &renderer);
    }
    return runWindow(o, paths, argc, argv);
}
