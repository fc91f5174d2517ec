#pragma once
// Renders a form model as Qt widgets and feeds the operator's input back to
// the models. The widgets mirror the models through the form's observer.
#include "forms/form.h"

#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestle::ui {

// Position and size of a control in twips, relative to its container.
struct Place {
    int left, top, width, height;
};
using Layout = std::map<std::string, Place>;

class FormView : public QWidget {
  public:
    FormView(forms::Form& form, const Layout& layout, QWidget* parent = nullptr);
    // The widget that shows a control, or nullptr.
    QWidget* widgetFor(const std::string& name) const;
    // Custom painting of a picture box (the scope, the alignment picture).
    using PaintFn = std::function<void(QWidget&)>;
    void setPainter(const std::string& name, PaintFn fn);
    void refresh(forms::Control* c);
    // A control kept above all others while it is visible (the presence frame).
    void setTopmost(const std::string& name) { topmost_ = widgetFor(name); }

  private:
    QWidget* create(forms::Control& c, QWidget* parent, const Layout& layout);
    void refreshAll();

    forms::Form& form_;
    std::map<forms::Control*, QWidget*> widgets_;
    std::map<std::string, PaintFn> painters_;
    // Model changes are gathered and applied once per turn of the event
    // loop, so filling a list of thousands of entries stays linear.
    void schedule(forms::Control* c);
    void flush();
    std::vector<forms::Control*> dirty_;
    bool flushPending_ = false;
    QWidget* topmost_ = nullptr;
    bool updating_ = false;
};

inline int px(int twips) {
    return twips / 15;
}

} // namespace kestle::ui
