// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/speech_factory.h"

#include "ecm/speech_espeak.h"
#include "ecm/speech_playback_gst.h"

#include <filesystem>
#include <string>

namespace kestle::ecm {

Speech::~Speech() = default;

Result<std::unique_ptr<Speech>> makeSpeech(std::string_view option) {
    constexpr std::string_view wavPrefix = "wav:";
    if (option == "none") {
        return std::unique_ptr<Speech>(std::make_unique<NullSpeech>());
    }
    EspeakSpeech::Outputs outputs;
    if (option == "auto") {
        for (auto& output : outputs) {
            output = std::make_unique<GstVoiceOutput>("autoaudiosink");
        }
    } else if (option.size() > wavPrefix.size() &&
               option.substr(0, wavPrefix.size()) == wavPrefix) {
        const std::filesystem::path dir(option.substr(wavPrefix.size()));
        for (int voice = kFirstVoice; voice <= kLastVoice; ++voice) {
            outputs[static_cast<std::size_t>(voice - kFirstVoice)] =
                std::make_unique<WavVoiceOutput>(dir, voice);
        }
    } else {
        return Error{"Unknown speech output \"" + std::string(option) +
                     "\" (use auto, none or wav:DIR)"};
    }
    return std::unique_ptr<Speech>(std::make_unique<EspeakSpeech>(std::move(outputs)));
}

} // namespace kestle::ecm
