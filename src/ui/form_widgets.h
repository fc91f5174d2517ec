// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The widgets that stand for controls where Qt's own do not behave as the
// form's controls do. Window thread only.
#include "forms/control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>
#include <string>

namespace kestle::ui {

// A picture box whose content a painter function draws.
class PictureWidget : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void(QWidget&)> paint;

  protected:
    void paintEvent(QPaintEvent*) override;
};

// What a key does to a text box: adds text, takes the last character away
// (Backspace), or nothing (Enter in a box of one line).
struct TextEdit {
    enum Kind { Nothing, Type, Erase } kind = Nothing;
    std::string text; // what Type adds
};

// A text box that hands each edit to the model as typed text, as the form's
// change event sees it (Enter adds CR LF in a box of several lines, nothing
// in a box of one line).
class TextBoxWidget : public QPlainTextEdit {
  public:
    TextBoxWidget(forms::Control& c, QWidget* parent) : QPlainTextEdit(parent), c_(c) {}
    std::function<void(const TextEdit&)> edited; // before each edit reaches the model

  protected:
    void keyPressEvent(QKeyEvent* e) override;

  private:
    forms::Control& c_;
};

// A text box of one line: as TextBoxWidget, on a lighter widget.
class LineBoxWidget : public QLineEdit {
  public:
    LineBoxWidget(forms::Control& c, QWidget* parent) : QLineEdit(parent), c_(c) {}
    std::function<void(const TextEdit&)> edited; // before each edit reaches the model

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    forms::Control& c_;
};

// A frame: its own background, a border, and its caption on the border's
// top line, which never crosses the controls inside.
class FrameWidget : public QWidget {
  public:
    using QWidget::QWidget;
    void setTitle(const QString& t);
    const QString& title() const { return title_; }
    const QColor& background() const { return background_; }
    void setColors(const QColor& background, const QColor& border, const QColor& title);
    // Where the border's top line runs, from the widget's top, in pixels.
    int borderTop() const;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString title_;
    QColor background_, border_, title_color_;
};

// A label. One that keeps its newest line in view (the main display) lays
// its text out itself: the text wraps within the label, and when it is
// taller than the part of the label that no sibling covers (the phoneme
// panel over the display), its bottom is shown, so that the newest line is
// always whole and in sight.
class LabelWidget : public QLabel {
  public:
    using QLabel::QLabel;
    // Sets the text and, where it wraps, which end of it shows.
    void showText(const QString& text);
    void setNewestInView(bool on);
    bool newestInView() const { return newest_; }
    // The part of the label no sibling above it covers, inside its margins.
    QRect visibleBand() const;
    // Where the last line that holds text stands (widget coordinates);
    // empty when there is no text.
    QRect newestLineRect() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void keepNewestInView();
    // Lays the text out in `band`; calls `line` with each line's layout,
    // its text and its rectangle (widget coordinates), oldest first.
    template <typename F> void eachLine(const QRect& band, F line) const;
    bool newest_ = false;
};

} // namespace kestle::ui
