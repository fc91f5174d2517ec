// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A form: a named set of controls in creation order, a caption, and a
// shown/loaded state. Observers are told about every property change so the
// Qt layer can mirror the models.
#include "forms/control.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestle::forms {

class Form {
  public:
    explicit Form(std::string name);
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return name_; }
    const std::string& caption() const { return caption_; }
    void setCaption(std::string c);
    bool shown() const { return shown_; }
    void setShown(bool s);

    // Names are unique within a form: a name in use throws
    // std::invalid_argument and nothing is added.
    Control& add(std::string name, Kind kind, Control* parent = nullptr);
    Timer& addTimer(std::string name, Scheduler& sched, int intervalMs);
    // nullptr when the form has no control of that name.
    Control* find(const std::string& name) const;
    Control& get(const std::string& name) const; // throws std::out_of_range
    const std::vector<Control*>& controls() const { return order_; }

    // Observers of property changes (the control that changed, or nullptr
    // for the form's own caption or shown state).
    void observe(std::function<void(Control*)> fn) { observers_.push_back(std::move(fn)); }
    void notify(Control* c);

  private:
    void claim(const std::string& name) const;

    std::string name_;
    std::string caption_;
    bool shown_ = false;
    std::map<std::string, std::unique_ptr<Control>> byName_;
    std::vector<Control*> order_;
    std::vector<std::function<void(Control*)>> observers_;
};

} // namespace kestle::forms
