// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Holds a form view and scales it to the space it is given, keeping the
// form's proportions: the form stands in the middle on the window colour.
#include "ui/form_view.h"

#include <QWidget>

namespace kestle::ui {

class ScaledHost : public QWidget {
  public:
    ScaledHost(FormView* view, QWidget* parent = nullptr);
    FormView& view() { return *view_; }
    QSize sizeHint() const override { return view_->sizeAt(1); }

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    FormView* view_;
};

} // namespace kestle::ui
