// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/backends.h"

#include "app/preference_file.h"
#include "capture/gst_capture.h"
#include "capture/null_capture.h"
#include "device/link_factory.h"
#include "device/recording_link.h"
#include "device/replay_trace.h"
#include "ecm/speech_factory.h"
#include "support/gst_runtime.h"

namespace kestle::app {

namespace {

Result<std::unique_ptr<device::HidLink>> makeLink(const Options& o, Scheduler& sched) {
    if (!o.replayTrace)
        return device::makeHidLink(o.device, sched, o.simSeed, o.record);
    std::unique_ptr<device::HidLink> link =
        std::make_unique<device::ReplayLink>(sched, *o.replayTrace);
    if (o.record.empty())
        return link;
    auto recording = device::RecordingLink::open(std::move(link), o.record);
    if (!recording)
        return Error{recording.error()};
    return std::unique_ptr<device::HidLink>(std::move(*recording));
}

} // namespace

Result<Backends> makeBackends(const Options& o, Scheduler& sched) {
    Backends b;
    auto link = makeLink(o, sched);
    if (!link)
        return Error{link.error()};
    b.link = std::move(*link);
    if (auto speech = ecm::makeSpeech(o.speech)) {
        b.speech = std::move(*speech);
    } else {
        // Words never depend on speech: go on without it.
        b.notices.push_back(speech.error());
        b.speech = std::make_unique<ecm::NullSpeech>();
    }
    const std::string capture = captureMode(o);
    const Status gst = capture == "none" ? Status{} : initGstreamer();
    if (!gst)
        b.notices.push_back("No capture: " + gst.error());
    if (capture == "none" || !gst) {
        b.audio = std::make_unique<capture::NullAudio>();
        b.video = std::make_unique<capture::NullVideo>();
    } else {
        auto catalog =
            capture == "test" ? capture::makeTestCatalog() : capture::makeSystemCatalog(sched);
        b.audio = capture::makeGstAudio(catalog, sched, alarmPreRollSeconds());
        b.video = capture::makeGstVideo(catalog, sched);
    }
    b.renderer = records::makeScreenRenderer();
    return b;
}

} // namespace kestle::app
