// SPDX-License-Identifier: GPL-3.0-or-later
// The night view as the operator's eyes meet it: every window of the
// program, with what it shows at its brightest (a band hit, an alarm, the
// live picture, a snapshot, a selection), holds no bright pixel and no
// colour but red. By day the same windows are checked to have what the
// night view takes away, so that the check sees what it should.
// The rig first: the simulated Kestle has a member named as a Qt keyword.
#include "window_rig.h"

#include "review/recorded_night.h"
#include "ui/layouts.h"
#include "ui/live_chart.h"
#include "ui/qt_host.h"
#include "ui/readings_chart.h"
#include "ui/review_window.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <array>
#include <functional>
#include <iostream>

namespace kestle::ui::test {
namespace {

using review::EventKind;

// A picture of every colour at full strength: white, green, cyan, yellow.
std::shared_ptr<const capture::VideoFrame> colourBars() {
    static const std::array<std::uint32_t, 8> px = {0xFFFFFF, 0x00FF00, 0x00FFFF, 0xFFFF00,
                                                    0xFFFFFF, 0x00FF00, 0x00FFFF, 0xFFFF00};
    auto f = std::make_shared<capture::VideoFrame>();
    f->width = 4;
    f->height = 2;
    f->stride = 16;
    f->pixels = reinterpret_cast<const std::uint8_t*>(px.data());
    return f;
}

int chosen(ReviewWindow& w, EventKind k) {
    const auto& m = w.chart().markers();
    for (std::size_t i = 0; i < m.size(); ++i)
        if (m[i].kind == k && !m[i].file.empty())
            return int(i);
    return -1;
}

TEST_F(MainViewTest, TheNightViewLeavesNoBrightOrColouredPixelInAnyWindow) {
    capture::test::KestleProcess k;
    const fs::path bag = review::test::recordNight(k);

    // Everything at its brightest: a band hit, an alarm line, the rose's
    // red square, the live picture, the display's text, a chosen word.
    auto& f = win->main();
    f.FREQA->setColor(forms::kRed);
    f.Shape1[1]->setColor(forms::kRed);
    f.alarmdisplay->setText("12/9/2026 3:07:45 AM Voltage Above 2.5 Value = 2.61 Vdc\r\n");
    f.main_display->setText("dug worm pie located specter hours\r\nalmost leave");
    f.List1->select(3);
    view->preview().showFrame(colourBars());
    view->resize(900, 700);
    view->show();
    view->formView().widgetFor("question")->setFocus(); // its cursor shows
    QtHost host(view.get());
    DialogView setup(win->vid2(), setupLayout(), kSetupWidth, kSetupHeight, {}, view.get());
    DialogView about(win->about(), aboutLayout(), 5880, 4260, {});
    DialogView splash(win->splash(), splashLayout(), 8040, 6240, {});
    LiveChart live(*win, view.get());
    for (int i = 0; i < 60; ++i)
        live.chart().addReading({liveNowMs() - 60000 + i * 1000, {1, 2, 3, 4, 5, 70.0 + i % 3}});
    live.chart().refresh();
    ReviewWindow review(bag);
    ASSERT_TRUE(QTest::qWaitFor([&] { return review.model() && review.verified(); }, 20000));
    for (QWidget* w : std::initializer_list<QWidget*>{&setup, &about, &splash, &live, &review})
        w->show();
    QMenu* menu = view->menuBar()->actions().first()->menu();
    menu->popup(view->mapToGlobal(QPoint(0, 0)));

    // Each window as it is drawn; the set-up form page by page, the review
    // with a snapshot and a screen capture in view.
    auto shots = [&](const std::function<void(const std::string&, const QImage&)>& check) {
        // Dialogs as they open in this view.
        host.messageBox("The Kestle", "You need to Check the agreement box ", {});
        host.inputBox("Cal", "Temperature Calibration", "0", [](auto) {});
        host.fileDialog("Capture File", "Avi File (*.avi)|*.avi", [](auto) {});
        settle();
        check("main window", view->grab().toImage());
        for (int page = 0; page < 3; ++page) {
            win->vid2().SSTab1->setValue(page);
            setup.formView().flushNow();
            check("set-up form page " + std::to_string(page), setup.grab().toImage());
        }
        check("About", about.grab().toImage());
        check("disclaimer", splash.grab().toImage());
        check("live chart", live.grab().toImage());
        for (EventKind kind : {EventKind::Snapshot, EventKind::Screen}) {
            const int at = chosen(review, kind);
            ASSERT_GE(at, 0);
            review.choose(at);
            ASSERT_TRUE(QTest::qWaitFor([&] { return review.showsPicture(); }, 10000));
            check(std::string("review with a ") + review::eventKindName(kind),
                  review.grab().toImage());
        }
        check("menu", menu->grab().toImage());
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(top); d && d->isVisible()) {
                check(std::string("dialog ") + top->metaObject()->className(),
                      top->grab().toImage());
                d->reject();
            }
    };

    // By day the windows are white and coloured: the check sees it.
    long dayFaults = 0;
    shots([&](const std::string& what, const QImage& img) {
        const NightFaults n = nightFaults(img);
        std::cout << "day   " << what << ": " << n.bright << " bright, " << n.notRed
                  << " not red\n";
        dayFaults += n.total();
    });
    EXPECT_GT(dayFaults, 100000);

    view->setNightView(true);
    shots([&](const std::string& what, const QImage& img) {
        const NightFaults n = nightFaults(img);
        std::cout << "night " << what << ": " << n.bright << " bright, " << n.notRed
                  << " not red\n";
        if (n.total() > 0 && qEnvironmentVariableIsSet("KESTLE_SHOTS"))
            img.save(qEnvironmentVariable("KESTLE_SHOTS") + "/" + QString::fromStdString(what) +
                     ".png");
        EXPECT_EQ(n.total(), 0) << what << ": first at " << n.first.x() << "," << n.first.y() << " "
                                << n.firstColour.name().toStdString();
    });
    // The band hit and the alarm still stand out from plain text.
    const QColor hit = view->formView().widgetFor("FREQA")->palette().color(QPalette::WindowText);
    const QColor plain = view->formView().widgetFor("FREQB")->palette().color(QPalette::WindowText);
    EXPECT_GT(hit.red(), plain.red() + 40);
    // Text is dark red, not amber: far less green than red.
    for (const QColor& text :
         {plain, view->formView().widgetFor("main_display")->palette().color(QPalette::WindowText),
          QApplication::palette().color(QPalette::Text)})
        EXPECT_LT(text.green() * 2, text.red()) << text.name().toStdString();
    menu->hide();
    view->setNightView(false);
}

} // namespace
} // namespace kestle::ui::test
