// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/form.h"

#include <stdexcept>

namespace kestle::forms {

Form::Form(std::string name) : name_(std::move(name)) {}

void Form::setCaption(std::string c) {
    if (c == caption_)
        return;
    caption_ = std::move(c);
    notify(nullptr);
}

void Form::setShown(bool s) {
    if (s == shown_)
        return;
    shown_ = s;
    notify(nullptr);
}

void Form::claim(const std::string& name) const {
    // A second control of the same name would free the first while the
    // creation order and its container still point at it.
    if (byName_.count(name))
        throw std::invalid_argument("a control named " + name + " exists on " + name_);
}

Control& Form::add(std::string name, Kind kind, Control* parent) {
    claim(name);
    auto c = std::make_unique<Control>(*this, name, kind, parent);
    Control& ref = *c;
    order_.push_back(&ref);
    byName_[std::move(name)] = std::move(c);
    return ref;
}

Timer& Form::addTimer(std::string name, Scheduler& sched, int intervalMs) {
    claim(name);
    auto t = std::make_unique<Timer>(*this, name, sched, intervalMs);
    Timer& ref = *t;
    order_.push_back(&ref);
    byName_[std::move(name)] = std::move(t);
    return ref;
}

Control* Form::find(const std::string& name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second.get();
}

Control& Form::get(const std::string& name) const {
    Control* c = find(name);
    if (!c)
        throw std::out_of_range("no control " + name + " on " + name_);
    return *c;
}

void Form::notify(Control* c) {
    for (auto& fn : observers_)
        fn(c);
}

} // namespace kestle::forms
