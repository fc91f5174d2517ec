#pragma once
// Speech that reports every call as one line before passing it on: the
// headless run prints them, a window ignores them. Lines:
//   SPEAK N "text"   (the text quoted as headless output quotes it)
//   QUIET N          (member 36)
// Window thread only (the sink is called from speak and quiet).
#include "ecm/speech.h"

#include <functional>
#include <memory>
#include <string>

namespace kestle::ecm {

class AnnouncingSpeech final : public Speech {
  public:
    using Sink = std::function<void(const std::string& line)>;

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
