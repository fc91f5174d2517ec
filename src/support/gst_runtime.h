// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one GStreamer initialisation of the process, shared by speech output
// and capture. Safe to call from any thread and any number of times; only
// the first call initialises.
#include "support/result.h"

namespace kestle {

// Ok once GStreamer is usable; otherwise the reason, the same every call.
Status initGstreamer();

} // namespace kestle
