// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QImage>
#include <QWidget>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace kestle::ui::test {

namespace fs = std::filesystem;

// The smallest rectangle holding every pixel that differs between two
// pictures of the same size (empty when none does).
inline QRect changedRect(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    QRect r;
    for (int row = 0; row < std::min(x.height(), y.height()); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < std::min(x.width(), y.width()); ++col)
            if (p[col] != q[col])
                r |= QRect(col, row, 1, 1);
    }
    return r;
}

// What the night view must never show: a pixel bright in all of red, green
// and blue (above 150), or one whose green or blue is above its red.
struct NightFaults {
    long bright = 0, notRed = 0;
    QPoint first{-1, -1}; // the first faulty pixel
    QColor firstColour;
    long total() const { return bright + notRed; }
};
inline NightFaults nightFaults(const QImage& shot) {
    NightFaults f;
    const QImage img = shot.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            const bool bright = r > 150 && g > 150 && b > 150, notRed = g > r || b > r;
            f.bright += bright;
            f.notRed += notRed;
            if ((bright || notRed) && f.first.x() < 0) {
                f.first = QPoint(x, y);
                f.firstColour = QColor(row[x]);
            }
        }
    }
    return f;
}

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
