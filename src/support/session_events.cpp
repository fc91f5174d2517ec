// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/session_events.h"

#include <algorithm>

namespace kestle::events {

struct Slot {
    SessionEvents::Handler handler;
};

SessionEvents::Subscription& SessionEvents::Subscription::operator=(Subscription&& o) noexcept {
    slot_ = std::move(o.slot_);
    return *this;
}

SessionEvents::Subscription::~Subscription() = default;

void SessionEvents::Subscription::reset() {
    slot_.reset();
}

SessionEvents::Subscription SessionEvents::subscribe(Handler h) {
    Subscription s;
    s.slot_ = std::make_shared<Slot>(Slot{std::move(h)});
    slots_.push_back(s.slot_);
    return s;
}

void SessionEvents::publish(const Event& e) {
    std::erase_if(slots_, [](const std::weak_ptr<Slot>& w) { return w.expired(); });
    // A copy: handlers may subscribe or unsubscribe while they run. A slot
    // dropped meanwhile is skipped, since its owner may be gone.
    const std::vector<std::weak_ptr<Slot>> now = slots_;
    for (const auto& w : now)
        if (auto slot = w.lock())
            slot->handler(e);
}

} // namespace kestle::events
