// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one GStreamer glue of the program, used by every GStreamer backend
// (capture, speech output, the review's player): who owns a reference,
// what an error message says, and how a bus is heard.
//
// References: GStreamer hands out new elements and pipelines with a
// floating reference. Whoever keeps one takes it with own(), which sinks
// it, so that the unref that ends it frees it whether or not it ever went
// into a bin (unref'ing a floating reference is a GLib error).
#include <gst/gst.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#include <functional>
#include <memory>
#include <string>

namespace kestle::gst {

struct Unref {
    void operator()(gpointer object) const {
        if (object)
            gst_object_unref(object);
    }
};
// One reference to a GstObject (element, pipeline, bus, pad, device).
template <typename T> using Ptr = std::unique_ptr<T, Unref>;

// Takes over a reference GStreamer returned, floating (sunk here) or full.
template <typename T> Ptr<T> own(T* object) {
    if (object && g_object_is_floating(object))
        gst_object_ref_sink(object);
    return Ptr<T>(object);
}

// An element made but not given to a bin goes (null is ignored).
inline void discard(GstElement* element) {
    own(element);
}

// What GStreamer's own locks order, told to ThreadSanitizer, which cannot
// see them (GStreamer is not built with it): what a thread wrote before it
// handed `data` to GStreamer (a probe's or a callback's user data) is seen
// by the streaming thread that GStreamer later calls with it. Nothing
// without ThreadSanitizer.
inline void handOver([[maybe_unused]] const void* data) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(data));
#endif
}
// Where a thread goes on with what GStreamer's threads did with `data`: in
// a callback, and after the pipeline went to NULL (its threads stopped).
inline void takeOver([[maybe_unused]] const void* data) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(data));
#endif
}
// The whole of a callback GStreamer makes with `data`: it sees what came
// before, and what it did is seen by whoever takes `data` over next.
class InCallback {
  public:
    explicit InCallback(const void* data) : data_(data) { takeOver(data); }
    ~InCallback() { handOver(data_); }
    InCallback(const InCallback&) = delete;
    InCallback& operator=(const InCallback&) = delete;

  private:
    const void* data_;
};

// A message kept: unref'd where its last copy goes, on any thread.
using Message = std::shared_ptr<GstMessage>;
Message keep(GstMessage* msg); // adds a reference

// The text of an error or warning message; "unknown error" without one.
std::string errorText(GstMessage* msg);

// Hears a bus. Each message of `types` goes to `deliver` on the thread that
// posted it (a streaming thread: `deliver` only hands it on, never changes
// a state, never waits); without `deliver` the messages wait for take().
// Every message leaves the bus at once, so nothing piles up there and
// nothing depends on a GLib main loop (Qt without GLib never runs one).
// No message is delivered once the destructor has returned.
class BusWatch {
  public:
    using Deliver = std::function<void(Message)>;

    BusWatch(Ptr<GstBus> bus, GstMessageType types, Deliver deliver = {});
    // The bus of `element` (a pipeline).
    BusWatch(GstElement* element, GstMessageType types, Deliver deliver = {});
    ~BusWatch();
    BusWatch(const BusWatch&) = delete;
    BusWatch& operator=(const BusWatch&) = delete;

    // The oldest message waiting; null when there is none. Any thread.
    Message take();

    struct Shared; // with the bus's handler, which may outlive this object

  private:
    Ptr<GstBus> bus_;
    std::shared_ptr<Shared> shared_;
};

} // namespace kestle::gst
