#include "app/backends.h"

#include "capture/null_capture.h"
#include "device/link_factory.h"
#include "ecm/speech_factory.h"

namespace kestle::app {

Result<Backends> makeBackends(const Options& o, Scheduler& sched) {
    Backends b;
    auto link = device::makeHidLink(o.device, sched, o.simSeed, o.record);
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
    b.audio = std::make_unique<capture::NullAudio>();
    b.video = std::make_unique<capture::NullVideo>();
    b.renderer = records::makeScreenRenderer();
    return b;
}

} // namespace kestle::app
