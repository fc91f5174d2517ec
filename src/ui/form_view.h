// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Renders a form model as Qt widgets and feeds the operator's input back to
// the models. The widgets mirror the models through the form's observer.
// The whole form scales as one: positions, sizes and text sizes follow the
// scale (1: 15 twips a pixel, the design), so it keeps its proportions at
// any window size. Window thread only.
#include "forms/form.h"
#include "ui/form_widgets.h"
#include "ui/theme.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::ui {

// Position and size of a control in twips, relative to its container.
struct Place {
    int left, top, width, height;
};
using Layout = std::map<std::string, Place>;

// Text size at scale 1, in pixels: the design's 8-point font.
inline constexpr double kBaseFontPx = 11;
// The smallest text of a display whose lines fit its height (the main
// display) at the text size's default: readable at night on a laptop.
inline constexpr int kMinDisplayPx = 12;

class FormView : public QWidget {
  public:
    // `widthTwips` x `heightTwips` is the form's designed size.
    FormView(forms::Form& form, const Layout& layout, int widthTwips, int heightTwips,
             QWidget* parent = nullptr);

    // The widget that shows a control, or nullptr.
    QWidget* widgetFor(const std::string& name) const;
    // Custom painting of a picture box (the scope, the alignment picture).
    using PaintFn = std::function<void(QWidget&)>;
    void setPainter(const std::string& name, PaintFn fn);
    // A fixed caption inside a container control (a frame), placed in twips
    // relative to it; it is hidden with its container.
    void addCaption(const std::string& container, const std::string& text, int left, int top);
    // A widget of the view's own (not a control), placed and scaled with
    // the form; `w` becomes the view's child.
    void addWidget(QWidget* w, Place place);
    // A control's text size at scale 1 (pixels), boldness and font family
    // (empty: the default).
    void setTextStyle(const std::string& name, double px, bool bold = false,
                      const std::string& family = {});
    // A label whose text size follows its height so that `lines` whole
    // lines fit in it, never below kMinDisplayPx (the main display); its
    // newest line stays in view.
    void setFitLines(const std::string& name, int lines, double padding = 4);
    // Controls whose text follows the text size (the operator's choice,
    // 1: the design's); the layout stays the form's, the text wraps.
    void setFollowsTextSize(const std::string& name);
    void setTextSize(double factor);
    double textSize() const { return textSize_; }
    // The design's own text and background colours of a control (where the
    // model has none); the theme turns them into night colours.
    void setColors(const std::string& name, std::optional<forms::Rgb> text,
                   std::optional<forms::Rgb> background);
    // A text box the operator reads but does not edit (the disclaimer's
    // text): it still takes the focus, to be scrolled from the keyboard.
    void setReadOnly(const std::string& name);
    // A control kept above all others while it is visible (the presence frame).
    void setTopmost(const std::string& name) { topmost_ = widgetFor(name); }

    void setScale(double s);
    double scale() const { return scale_; }
    // The form's size in pixels at a scale.
    QSize sizeAt(double s) const;
    // The view follows the application's palette (the night view) by
    // itself; setTheme sets it at once.
    void setTheme(const Theme& t);
    const Theme& theme() const { return theme_; }

    void refresh(forms::Control* c);
    // Shows the changes gathered so far at once (tests).
    void flushNow();
    // Shows them on the next turn of the event loop: what the operator does
    // shows at once, not at the next refresh.
    void flushSoon();

    // Told of each action of the operator on a control (a click, a choice,
    // typing), as a script verb and its argument, before the model sees it.
    std::function<void(forms::Control& c, std::string_view verb, std::string_view arg)>
        onOperatorAction;

  protected:
    void changeEvent(QEvent* e) override;
    // Double-clicks on the controls' widgets reach their handlers.
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void acted(forms::Control& c, std::string_view verb, std::string_view arg = {});
    void edited(forms::Control& c, const TextEdit& e);
    struct Placed {
        QWidget* widget = nullptr;
        forms::Control* control = nullptr; // nullptr for a caption or a widget of the view's own
        Place place{0, 0, 0, 0};
        double fontPx = kBaseFontPx;
        bool bold = false;
        std::string family;
        int fitLines = 0;
        double padding = 0;
        bool followsTextSize = false;
        std::optional<forms::Rgb> text, background;
    };

    QWidget* create(forms::Control& c, QWidget* parent, const Layout& layout);
    Placed* placed(const std::string& name);
    Placed* placed(const forms::Control* c);
    void add(QWidget* w, forms::Control* c, Place place);
    void apply(Placed& p);
    void colour(const Placed& p);
    void refreshAll();
    // Tab and Shift+Tab follow the form's layout: top to bottom, a row of
    // controls left to right, a container's controls together.
    void orderTabs();
    // Model changes are gathered and applied together, at most 4 times a
    // second: filling a list of thousands of entries stays linear, and a
    // running session repaints little.
    static constexpr int kRefreshMs = 1000 / 2;
    void schedule(forms::Control* c);
    void flush();

    forms::Form& form_;
    int widthTwips_, heightTwips_;
    double scale_ = 1;
    double textSize_ = 1;
    Theme theme_;
    std::map<forms::Control*, QWidget*> widgets_;
    std::map<const QObject*, forms::Control*> controlOf_; // widgets (and viewports) of controls
    std::vector<Placed> placed_;
    std::map<const forms::Control*, std::size_t> placedAt_; // index into placed_
    std::vector<forms::Control*> dirty_;
    QTimer flushTimer_;
    QElapsedTimer sinceFlush_;
    QWidget* topmost_ = nullptr;
    bool updating_ = false;
};

} // namespace kestle::ui
