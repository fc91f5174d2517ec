// SPDX-License-Identifier: GPL-3.0-or-later
// Every window of the program on a laptop's screen (the tests' two screens:
// 1366 x 768 and 1280 x 720): it opens whole inside the free area, and
// what it is used by stays in view.
// The rig first: the simulated Kestle has a member named as a Qt keyword.
#include "window_rig.h"

#include "ui/layouts.h"
#include "ui/live_chart.h"
#include "ui/review_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

namespace kestle::ui::test {
namespace {

void expectInside(const QWidget& w, const QRect& room, const char* what) {
    EXPECT_TRUE(room.contains(w.frameGeometry()))
        << what << " at " << w.frameGeometry().x() << "," << w.frameGeometry().y() << " "
        << w.frameGeometry().width() << "x" << w.frameGeometry().height();
}

TEST_F(MainViewTest, EveryWindowOpensInsideALaptopsScreen) {
    const auto screens = QGuiApplication::screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[0]->size(), QSize(1366, 768));
    EXPECT_EQ(screens[1]->size(), QSize(1280, 720));
    for (QScreen* s : screens) {
        const QRect room = s->availableGeometry();
        SCOPED_TRACE(room.width());
        view->hide();
        view->setScreen(s);
        view->move(room.topLeft());
        view->show();
        settle();
        expectInside(*view, room, "main window");
        // The form keeps its proportions inside it, whole.
        EXPECT_TRUE(view->rect().contains(view->formView().geometry().translated(
            view->formView().mapTo(view.get(), QPoint(0, 0)) - view->formView().pos())));

        DialogView setup(win->vid2(), setupLayout(), kSetupWidth, kSetupHeight, {}, view.get());
        setup.show();
        expectInside(setup, room, "set-up form");
        for (auto [form, layout, w, h] : {std::tuple<forms::Form*, const Layout*, int, int>{
                                              &win->about(), &aboutLayout(), 5880, 4260},
                                          {&win->splash(), &splashLayout(), 8040, 6240}}) {
            DialogView d(*form, *layout, w, h, {});
            d.setScreen(s);
            d.move(room.topLeft() + QPoint(room.width() / 2, room.height() - 100));
            d.show();
            expectInside(d, room, form->name().c_str());
        }
        LiveChart live(*win, view.get());
        live.move(room.topLeft() + QPoint(700, 300));
        live.show();
        expectInside(live, room, "live chart");

        // The review window asked for 1100 x 760 at y = 40: its status line
        // and the panel beside the plots stay on the screen.
        ReviewWindow review(dir / "not a bag");
        review.setScreen(s);
        review.move(room.topLeft() + QPoint(133, 40));
        review.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return review.warning() != ""; }, 10000));
        expectInside(review, room, "review window");
        const QStatusBar* status = review.statusBar();
        EXPECT_TRUE(status->isVisible());
        EXPECT_TRUE(review.rect().contains(status->geometry()));
        const auto* list = review.findChild<QTreeWidget*>();
        ASSERT_TRUE(list);
        EXPECT_GE(list->height(), 150);
    }
}

} // namespace
} // namespace kestle::ui::test
