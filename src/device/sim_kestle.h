// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Kestle simulated inside the process. It answers ">", "=", "%" and "/"
// from SimSignals and ignores any other request; answers arrive `latency`
// ms after the request (0: on the next scheduler turn). See EmulatedLink
// for the notifications and plugging.
//
// The model runs on the scheduler's clock, but every answer moves it on by
// at least 1 ms, so the signals change even when virtual time stands still.
// The same seed, request sequence and timing give the same answers.
#include "device/emulated_link.h"
#include "device/sim_signals.h"

namespace kestle::device {

class SimKestle : public EmulatedLink {
  public:
    SimKestle(Scheduler& scheduler, std::uint32_t seed, Millis latency = 1);

    const SimSignals& signals() const { return signals_; }

  protected:
    std::optional<Answer> answer(const Report& out) override;

  private:
    SimSignals signals_;
    double clock_ = -1; // model time of the last answer, ms
};

} // namespace kestle::device
