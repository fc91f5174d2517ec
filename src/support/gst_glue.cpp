// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/gst_glue.h"

#include "support/lifetime.h"

#include <deque>
#include <mutex>

namespace kestle::gst {

Message keep(GstMessage* msg) {
    return Message(gst_message_ref(msg), [](GstMessage* m) { gst_message_unref(m); });
}

std::string errorText(GstMessage* msg) {
    GError* e = nullptr;
    switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_ERROR:
        gst_message_parse_error(msg, &e, nullptr);
        break;
    case GST_MESSAGE_WARNING:
        gst_message_parse_warning(msg, &e, nullptr);
        break;
    default:
        break;
    }
    std::string text = e && e->message && *e->message ? e->message : "unknown error";
    g_clear_error(&e);
    return text;
}

struct BusWatch::Shared {
    GstMessageType types;
    Lifetime life;
    std::function<void(Message)> deliver; // guarded by `life`; empty: queue
    std::mutex m;
    std::deque<Message> waiting;
};

namespace {

GstBusSyncReply onBusMessage(GstBus*, GstMessage* msg, gpointer data) {
    InCallback in(data);
    auto& s = **static_cast<std::shared_ptr<BusWatch::Shared>*>(data);
    if ((GST_MESSAGE_TYPE(msg) & s.types) != 0) {
        if (s.deliver) {
            s.deliver(keep(msg));
        } else {
            std::lock_guard l(s.m);
            s.waiting.push_back(keep(msg));
        }
    }
    return GST_BUS_DROP;
}

} // namespace

BusWatch::BusWatch(Ptr<GstBus> bus, GstMessageType types, Deliver deliver)
    : bus_(std::move(bus)), shared_(std::make_shared<Shared>()) {
    shared_->types = types;
    if (deliver)
        shared_->deliver = shared_->life.guard(std::move(deliver));
    if (!bus_)
        return;
    // A call under way when the handler is replaced keeps its copy of the
    // shared part: GStreamer frees the data only once that call returned.
    auto* data = new std::shared_ptr<Shared>(shared_);
    handOver(data);
    gst_bus_set_sync_handler(bus_.get(), onBusMessage, data, [](gpointer d) {
        takeOver(d);
        delete static_cast<std::shared_ptr<Shared>*>(d);
    });
}

BusWatch::BusWatch(GstElement* element, GstMessageType types, Deliver deliver)
    : BusWatch(own(element ? gst_element_get_bus(element) : nullptr), types, std::move(deliver)) {}

BusWatch::~BusWatch() {
    if (bus_)
        gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
    shared_->life.end(); // waits for a delivery under way
}

Message BusWatch::take() {
    std::lock_guard l(shared_->m);
    if (shared_->waiting.empty())
        return nullptr;
    Message m = std::move(shared_->waiting.front());
    shared_->waiting.pop_front();
    return m;
}

} // namespace kestle::gst
