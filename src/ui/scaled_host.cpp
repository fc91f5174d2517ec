// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/scaled_host.h"

#include "forms/layout_math.h"

#include <QPainter>

namespace kestle::ui {

ScaledHost::ScaledHost(FormView* view, QWidget* parent) : QWidget(parent), view_(view) {
    view_->setParent(this);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScaledHost::resizeEvent(QResizeEvent*) {
    const QSize design = view_->sizeAt(1);
    const double s = forms::fitScale(width(), height(), design.width() * forms::kTwipsPerPixel,
                                     design.height() * forms::kTwipsPerPixel);
    if (std::abs(s - view_->scale()) > 1e-4)
        view_->setScale(s);
    view_->move((width() - view_->width()) / 2, (height() - view_->height()) / 2);
}

void ScaledHost::paintEvent(QPaintEvent*) {
    // The margin around the form, in the form's own colour (day or night).
    QPainter(this).fillRect(rect(), view_->theme().window());
}

} // namespace kestle::ui
