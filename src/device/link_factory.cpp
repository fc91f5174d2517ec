// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/link_factory.h"

#include "device/hid_hidapi.h"
#include "device/recording_link.h"
#include "device/replay_trace.h"
#include "device/sim_kestle.h"

namespace kestle::device {

namespace {

Result<std::unique_ptr<HidLink>> makeBare(std::string_view option, Scheduler& scheduler,
                                          std::uint32_t simSeed) {
    constexpr std::string_view kReplay = "replay:";
    if (option == "hid") {
        auto link = HidapiLink::create(scheduler);
        if (!link)
            return Error{link.error()};
        return std::unique_ptr<HidLink>(std::move(*link));
    }
    if (option == "sim")
        return std::unique_ptr<HidLink>(std::make_unique<SimKestle>(scheduler, simSeed));
    if (option.starts_with(kReplay) && option.size() > kReplay.size()) {
        auto link = ReplayLink::open(scheduler, std::string(option.substr(kReplay.size())));
        if (!link)
            return Error{link.error()};
        return std::unique_ptr<HidLink>(std::move(*link));
    }
    return Error{"unknown device \"" + std::string(option) +
                 "\" (expected hid, sim or replay:FILE)"};
}

} // namespace

Result<std::unique_ptr<HidLink>> makeHidLink(std::string_view deviceOption, Scheduler& scheduler,
                                             std::uint32_t simSeed, const std::string& recordPath) {
    auto link = makeBare(deviceOption, scheduler, simSeed);
    if (!link || recordPath.empty())
        return link;
    auto recording = RecordingLink::open(std::move(*link), recordPath);
    if (!recording)
        return Error{recording.error()};
    return std::unique_ptr<HidLink>(std::move(*recording));
}

Pluggable* asPluggable(HidLink& link) {
    if (auto* p = dynamic_cast<Pluggable*>(&link))
        return p;
    if (auto* r = dynamic_cast<RecordingLink*>(&link))
        return r->pluggable();
    return nullptr;
}

} // namespace kestle::device
