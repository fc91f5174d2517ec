// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/gst_runtime.h"

#include <gst/gst.h>

#include <mutex>
#include <string>

namespace kestle {

Status initGstreamer() {
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
            failure = "GStreamer could not start: ";
            failure += error && error->message ? error->message : "unknown reason";
            g_clear_error(&error);
        }
    });
    if (!failure.empty())
        return Error{failure};
    return {};
}

} // namespace kestle
