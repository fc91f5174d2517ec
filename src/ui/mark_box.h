// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The box for a session mark's note: a small tool window of the main
// window, never modal, so the readings, the chart and the window go on
// while the operator types. "Mark" (or Enter) puts the mark into the
// session as made by "window"; "Cancel" (or Escape) puts none. Window
// thread only.
#include "app/main_window.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace kestle::ui {

// A note longer than this would not fit a chart's caption or a report row.
inline constexpr int kMarkNoteMaxChars = 200;

class MarkBox : public QWidget {
  public:
    // `win` outlives the box; `parent` is the main window.
    MarkBox(app::MainWindow& win, QWidget* parent);

    // Shows the box with an empty note, in front, the note focused.
    void open();
    QLineEdit& note() { return *note_; }
    QPushButton& markButton() { return *mark_; }

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void confirm();

    app::MainWindow& win_;
    QLineEdit* note_;
    QPushButton* mark_;
};

} // namespace kestle::ui
