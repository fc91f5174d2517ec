// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/announcing_speech.h"

namespace kestle::ecm {

AnnouncingSpeech::AnnouncingSpeech(std::unique_ptr<Speech> inner, Sink sink)
    : inner_(std::move(inner)), sink_(std::move(sink)) {}

void AnnouncingSpeech::speak(int voice, const std::string& utf8Text) {
    if (!isVoice(voice))
        return;
    if (sink_)
        sink_(events::Speech{voice, utf8Text});
    inner_->speak(voice, utf8Text);
}

void AnnouncingSpeech::quiet(int voice) {
    if (!isVoice(voice))
        return;
    if (sink_)
        sink_(events::Quiet{voice});
    inner_->quiet(voice);
}

} // namespace kestle::ecm
