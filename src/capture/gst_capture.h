// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The capture controls on GStreamer: cameras and microphones of the catalog
// (or the test pattern and tone), WAV and AVI files, JPEG snapshots, the
// live picture with its overlays.
//
// Threads: the controls are used on the window thread; state changes,
// file finishing and picture encoding run on threads of their own, and
// what they report comes back through `sched`. Destroying a control
// finishes its open files, waiting at most 2 seconds; no callback comes
// from it after that, but the recording handler is told the ends of its
// files from the destructor itself (the problem "The program ended during
// the recording" when one still ran), so a handler must outlive the
// control or be cleared first.
#include "capture/capture_controls.h"
#include "capture/device_catalog.h"
#include "support/scheduler.h"

#include <memory>

namespace kestle::capture {

// Recordings are 16-bit PCM, mono, at this rate.
inline constexpr int kAudioRate = 44100;

// Most seconds of sound an alarm recording may start with.
inline constexpr int kMaxPreRollSeconds = 60;

// `preRollSeconds` (0 to kMaxPreRollSeconds; 0: none) before a recording
// are kept while keepPreRoll is on.
std::unique_ptr<AudioControl> makeGstAudio(std::shared_ptr<DeviceCatalog> catalog, Scheduler& sched,
                                           int preRollSeconds);
std::unique_ptr<VideoControl> makeGstVideo(std::shared_ptr<DeviceCatalog> catalog,
                                           Scheduler& sched);

} // namespace kestle::capture
