// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/control.h"

#include "forms/form.h"

#include <algorithm>

namespace kestle::forms {

Control::Control(Form& form, std::string name, Kind kind, Control* parent)
    : form_(form), name_(std::move(name)), kind_(kind), parent_(parent) {
    if (parent_)
        parent_->children_.push_back(this);
    if (kind_ == Kind::Timer) {
        visible_ = false;
        enabled_ = false;
    }
}

const std::string& Control::text() const {
    static const std::string empty;
    if (isList())
        return selected_ >= 0 ? items_[static_cast<std::size_t>(selected_)] : empty;
    return text_;
}

void Control::changed() {
    form_.notify(this);
}

void Control::setText(std::string t) {
    if (t == text_)
        return;
    text_ = std::move(t);
    changed();
    if (onChange && kind_ == Kind::TextBox)
        onChange();
}

void Control::appendText(std::string_view t) {
    if (t.empty())
        return;
    setText(text_ + std::string(t));
}

void Control::setChecked(bool c) {
    if (c == checked_)
        return;
    checked_ = c;
    changed();
}

void Control::setEnabled(bool e) {
    if (e == enabled_)
        return;
    enabled_ = e;
    changed();
}

void Control::setVisible(bool v) {
    if (v == visible_)
        return;
    visible_ = v;
    changed();
}

void Control::setRange(int lo, int hi) {
    min_ = lo;
    max_ = hi;
    value_ = std::clamp(value_, min_, max_);
    changed();
}

void Control::setValue(int v) {
    v = std::clamp(v, min_, max_);
    if (v == value_)
        return;
    value_ = v;
    changed();
    if (onChange)
        onChange();
}

void Control::setColor(Rgb c) {
    colorSet_ = true;
    if (c == color_)
        return;
    color_ = c;
    changed();
}

void Control::move(int left, int top) {
    left_ = left;
    top_ = top;
    changed();
}

void Control::setGeometry(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    changed();
}

void Control::addItem(std::string t) {
    items_.push_back(std::move(t));
    changed();
}

void Control::clear() {
    if (isList()) {
        items_.clear();
        selected_ = -1;
        ++clears_;
    } else {
        text_.clear();
    }
    changed();
}

bool Control::select(int index) {
    if (index < -1 || index >= count())
        return false;
    if (index != selected_) {
        selected_ = index;
        changed();
    }
    return true;
}

bool Control::choose(int index) {
    if (index < 0 || !select(index))
        return false;
    if (onClick)
        onClick();
    return true;
}

bool Control::reachable() const {
    if (!form_.shown())
        return false;
    for (const Control* c = this; c; c = c->parent_) {
        if (!c->enabled_ || !c->visible_)
            return false;
    }
    return true;
}

void Control::click() {
    // The toolkit's own part of a click: check boxes toggle, option buttons
    // select themselves and clear the other options of their container.
    if (kind_ == Kind::CheckBox) {
        setValue(value_ ? 0 : 1);
    } else if (kind_ == Kind::Option) {
        if (parent_) {
            for (Control* sib : parent_->children_) {
                if (sib != this && sib->kind_ == Kind::Option)
                    sib->setChecked(false);
            }
        }
        setChecked(true);
    }
    if (onClick)
        onClick();
}

void Control::dblClick() {
    if (onDblClick)
        onDblClick();
}

bool Control::hasText() const {
    switch (kind_) {
    case Kind::Shape:
    case Kind::Slider:
    case Kind::Timer:
    case Kind::Picture:
    case Kind::ListBox:
    case Kind::Tabs:
        return false;
    default:
        return true;
    }
}

bool Control::hasColor() const {
    // A label's colour is a reading only where the program sets it.
    return isList() || kind_ == Kind::TextBox || kind_ == Kind::Shape ||
           (kind_ == Kind::Label && colorSet_);
}

Timer::Timer(Form& form, std::string name, Scheduler& sched, int intervalMs)
    : Control(form, std::move(name), Kind::Timer, nullptr), sched_(sched), interval_(intervalMs) {}

Timer::~Timer() {
    disarm();
}

void Timer::disarm() {
    if (pending_) {
        sched_.cancel(pending_);
        pending_ = 0;
    }
}

void Timer::arm() {
    disarm();
    if (!on_ || interval_ <= 0)
        return;
    pending_ = sched_.callAfter(interval_, [this] {
        pending_ = 0;
        arm(); // the next tick counts from this one, as a window timer does
        if (onTick)
            onTick();
    });
}

void Timer::setInterval(int ms) {
    if (ms == interval_)
        return;
    interval_ = ms;
    if (on_)
        arm();
    changed();
}

void Timer::setEnabled(bool on) {
    if (on == on_)
        return;
    on_ = on;
    if (on_)
        arm();
    else
        disarm();
    Control::setEnabled(on);
}

} // namespace kestle::forms
