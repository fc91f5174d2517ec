#include "ui/scaled_host.h"

#include "forms/layout_math.h"

namespace kestle::ui {

ScaledHost::ScaledHost(FormView* view, QWidget* parent) : QWidget(parent), view_(view) {
    view_->setParent(this);
    setAutoFillBackground(true);
}

void ScaledHost::resizeEvent(QResizeEvent*) {
    const QSize design = view_->sizeAt(1);
    const double s = forms::fitScale(width(), height(), design.width() * forms::kTwipsPerPixel,
                                     design.height() * forms::kTwipsPerPixel);
    if (std::abs(s - view_->scale()) > 1e-4)
        view_->setScale(s);
    view_->move((width() - view_->width()) / 2, (height() - view_->height()) / 2);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, view_->theme().window());
    setPalette(pal);
}

} // namespace kestle::ui
