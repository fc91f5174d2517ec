// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's colours by day and in the night view: dark red on black,
// nothing bright and no other hue (no pixel has green or blue above its
// red), while the colours the program gives meaning to (a band hit's red
// text, the rose's red square, alarm text) stay apart from the rest by
// brightness. Pictures (the live picture, the review's) are shown as their
// luminance in red. The night view is the application's palette: every
// window follows it (isNightPalette).
#include "forms/control.h"

#include <QColor>
#include <QImage>
#include <QPalette>

namespace kestle::ui {

class Theme {
  public:
    explicit Theme(bool night = false) : night_(night) {}
    // The theme of the application's palette now.
    static Theme current();
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
    // A picture as it is shown: by day as it is; in the night view its
    // luminance in red on black (the files keep their colours).
    QImage picture(const QImage& img) const;
    // The palette of the whole application (menus, dialogs, message boxes).
    QPalette palette(const QPalette& day) const;

  private:
    bool night_;
};

// What the palette alone does not reach, for the whole application (more
// calls do nothing): while the night view is on, the style's own icons
// (dialogs' buttons, the file dialog's files and folders) are shown in red,
// and a text box's cursor, drawn as the inverse of what is under it (which
// the dark boxes would turn bright), is drawn over in the box's text colour.
void installNightView();

// True when a colour is mainly red: its meaning is a warning.
bool isReddish(forms::Rgb c);

// True when `p` is the night view's palette (the night view sets the whole
// application's palette).
bool isNightPalette(const QPalette& p);

} // namespace kestle::ui
