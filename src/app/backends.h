// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place where the backends are chosen from the options: the Kestle
// link, the speech output, the capture controls and the screen-capture
// pictures. Window and headless runs, and the tests, get theirs here.
#include "app/options.h"
#include "capture/capture_controls.h"
#include "device/hid_link.h"
#include "ecm/speech.h"
#include "records/records.h"
#include "support/result.h"
#include "support/scheduler.h"

#include <memory>
#include <string>
#include <vector>

namespace kestle::app {

struct Backends {
    std::unique_ptr<device::HidLink> link;
    std::unique_ptr<ecm::Speech> speech;
    std::unique_ptr<capture::AudioControl> audio;
    std::unique_ptr<capture::VideoControl> video;
    std::unique_ptr<records::ScreenRenderer> renderer;
    // What runs with less than was asked for (speech that could not start),
    // for the status line.
    std::vector<std::string> notices;
};

// Errors, and then nothing is made: a trace that cannot be read, a record
// file that cannot be created, a HID library that does not start.
// Everything made here runs its callbacks through `sched`.
Result<Backends> makeBackends(const Options& o, Scheduler& sched);

} // namespace kestle::app
