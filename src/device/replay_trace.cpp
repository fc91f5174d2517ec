// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/replay_trace.h"

namespace kestle::device {

ReplayLink::ReplayLink(Scheduler& scheduler, const Trace& trace)
    : EmulatedLink(scheduler, kLatency) {
    for (const auto& e : trace)
        queues_[e.request].answers.push_back(e.answer);
}

Result<std::unique_ptr<ReplayLink>> ReplayLink::open(Scheduler& scheduler,
                                                     const std::filesystem::path& path) {
    auto trace = loadTrace(path);
    if (!trace)
        return Error{trace.error()};
    return std::make_unique<ReplayLink>(scheduler, *trace);
}

std::optional<Answer> ReplayLink::answer(const Report& out) {
    auto it = queues_.find(static_cast<char>(out[1]));
    if (it == queues_.end())
        return std::nullopt;
    Queue& q = it->second;
    const Answer& a = q.answers[q.next];
    if (q.next + 1 < q.answers.size())
        ++q.next;
    return a;
}

} // namespace kestle::device
