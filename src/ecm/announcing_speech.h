// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Speech that tells every call as a session event (events::Speech, and
// events::Quiet for member 36) before passing it on. Window thread only
// (the sink is called from speak and quiet).
#include "ecm/speech.h"
#include "support/session_events.h"

#include <functional>
#include <memory>
#include <string>

namespace kestle::ecm {

class AnnouncingSpeech final : public Speech {
  public:
    using Sink = std::function<void(const events::Event&)>;

    // Owns `inner` (not null). Calls for voices outside 1..4 are ignored.
    AnnouncingSpeech(std::unique_ptr<Speech> inner, Sink sink);

    void speak(int voice, const std::string& utf8Text) override;
    void quiet(int voice) override;
    std::string firstError() const override { return inner_->firstError(); }

    Speech& inner() { return *inner_; }

  private:
    std::unique_ptr<Speech> inner_;
    Sink sink_;
};

} // namespace kestle::ecm
