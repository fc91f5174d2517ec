// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The four speech voices the word output, the phoneme engine and typed text
// speak through. Voice 1 is the word voice; 2 to 4 are used by the phoneme
// engine only. All four can sound at the same time.
#include <string>

namespace kestle::ecm {

inline constexpr int kFirstVoice = 1;
inline constexpr int kLastVoice = 4;

inline constexpr bool isVoice(int voice) {
    return voice >= kFirstVoice && voice <= kLastVoice;
}

// Called from the window thread. Implementations keep the caller free of
// audio: nothing here waits for speech to be synthesized or played.
class Speech {
  public:
    virtual ~Speech();

    // Speaks `utf8Text` in `voice` (1..4; other numbers are ignored).
    // Returns at once and never throws; speech may still be sounding when
    // the next call comes, and a failing engine makes this a no-op.
    virtual void speak(int voice, const std::string& utf8Text) = 0;

    // The control's member 36, called where a word would have been spoken
    // with speech switched off. Nothing depends on it, so it does nothing
    // audible.
    virtual void quiet(int voice) = 0;

    // Empty while nothing has failed; otherwise one line describing the
    // first failure (e.g. "Speech engine unavailable: ..."). Any thread.
    virtual std::string firstError() const = 0;
};

// Speech switched off entirely: accepts every call and produces nothing.
class NullSpeech final : public Speech {
  public:
    void speak(int, const std::string&) override {}
    void quiet(int) override {}
    std::string firstError() const override { return {}; }
};

} // namespace kestle::ecm
