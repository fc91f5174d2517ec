// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Kestle that plays back a recorded trace. Each request character has its
// own queue of answers, taken in file order; once it runs out its last
// answer repeats. A request character the trace never mentions is not
// answered. Answers arrive 1 ms after the request (see EmulatedLink for the
// notifications and plugging).
#include "device/emulated_link.h"

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

namespace kestle::device {

class ReplayLink : public EmulatedLink {
  public:
    static constexpr Millis kLatency = 1;

    ReplayLink(Scheduler& scheduler, const Trace& trace);
    // Loads the trace file; its read or parse error otherwise.
    static Result<std::unique_ptr<ReplayLink>> open(Scheduler& scheduler,
                                                    const std::filesystem::path& path);

  protected:
    std::optional<Answer> answer(const Report& out) override;

  private:
    struct Queue {
        std::vector<Answer> answers;
        std::size_t next = 0;
    };
    std::map<char, Queue> queues_;
};

} // namespace kestle::device
