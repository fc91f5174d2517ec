// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/screen_fit.h"

#include "forms/layout_math.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace kestle::ui {

namespace {

forms::PxRect px(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

class OnScreen : public QObject {
  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && w->isWindow() && !w->property("kestleOnScreen").toBool()) {
                w->setProperty("kestleOnScreen", true); // the operator may move it later
                keepOnScreen(*w);
            }
        }
        return false;
    }
};

} // namespace

void keepOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const QRect frame = window.frameGeometry();
    const QSize margins = frame.size() - window.geometry().size();
    const forms::PxRect fit = forms::keepInside(px(frame), px(screen->availableGeometry()));
    if (fit.width != frame.width() || fit.height != frame.height())
        window.resize(fit.width - margins.width(), fit.height - margins.height());
    window.move(fit.x, fit.y); // a window's position is its frame's
}

void keepWindowsOnScreen() {
    static OnScreen* installed = nullptr;
    if (installed || !qApp)
        return;
    installed = new OnScreen;
    installed->setParent(qApp);
    qApp->installEventFilter(installed);
}

} // namespace kestle::ui
