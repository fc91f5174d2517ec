#pragma once
// A main window on the simulated Kestle with its view, offscreen; the
// preferences are the tests' own (see main_view_test.cpp's main).
#include "app/headless_host.h"
#include "app/main_window.h"
#include "device/sim_kestle.h"
#include "ui/main_view.h"
#include "ui/qt_scheduler.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace kestle::ui::test {

namespace fs = std::filesystem;

class MainViewTest : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestle-ui-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        win = makeWindow(dir);
        view = std::make_unique<MainView>(*win, "");
        win->Form_Load();
        win->main().setShown(true);
        settle();
    }
    // A window on the simulated Kestle with its files in `folder` (not loaded).
    std::unique_ptr<app::MainWindow> makeWindow(const fs::path& folder) {
        fs::create_directories(folder);
        app::Paths p{folder, folder / "data", folder / "list.txt"};
        app::Options o;
        o.speech = "none";
        o.capture = "none";
        auto backends = app::makeBackends(o, sched);
        backends->link = std::make_unique<device::SimKestle>(sched, 7, 0);
        return std::make_unique<app::MainWindow>(sched, host, p, o, std::move(*backends));
    }
    void TearDown() override {
        view.reset();
        win.reset();
        fs::remove_all(dir);
    }
    // Lets the view apply the model changes it has gathered.
    void settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        view->formView().flushNow();
    }
    // An action by its caption as it reads (without its mnemonic mark).
    QAction* action(const QString& text) {
        for (QAction* a : view->findChildren<QAction*>())
            if (QString(a->text()).remove('&') == text)
                return a;
        return nullptr;
    }

    fs::path dir;
    QtScheduler sched;
    std::ostringstream out;
    app::HeadlessHost host{out};
    std::unique_ptr<app::MainWindow> win;
    std::unique_ptr<MainView> view;
};

} // namespace kestle::ui::test
