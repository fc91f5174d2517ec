#pragma once
// The window's colours by day and in the night view: dim red and amber on
// black, nothing bright, while the colours the program gives meaning to (a
// band hit's red text, the rose's red square, alarm text) stay apart from
// the rest.
#include "forms/control.h"

#include <QColor>
#include <QPalette>

namespace kestle::ui {

class Theme {
  public:
    explicit Theme(bool night = false) : night_(night) {}
    bool night() const { return night_; }

    // A model colour used as text, as the background of a box, or as the
    // fill of a shape.
    QColor text(forms::Rgb c) const;
    QColor background(forms::Rgb c) const;
    QColor fill(forms::Rgb c) const;
    // The view's own colours.
    QColor window() const;  // form background
    QColor caption() const; // fixed captions and frame titles
    QColor border() const;  // frame borders
    QColor display() const; // the main display's background
    QColor displayText() const;
    // How bright a live picture is shown (1 by day).
    double pictureBrightness() const { return night_ ? 0.35 : 1.0; }
    // The palette of the whole application (menus, dialogs, message boxes).
    QPalette palette(const QPalette& day) const;

  private:
    bool night_;
};

// True when a colour is mainly red: its meaning is a warning.
bool isReddish(forms::Rgb c);

} // namespace kestle::ui
