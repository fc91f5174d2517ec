// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/voice_detector.h"

#include <vector>
#include <webrtc/modules/audio_processing/include/audio_processing.h>

namespace kestle::review {

struct VoiceDetector::Module {
    std::unique_ptr<webrtc::AudioProcessing> apm;
    webrtc::StreamConfig in, out;
    std::vector<float> scratch;
};

VoiceDetector::VoiceDetector(int rate) : m_(std::make_unique<Module>()), frame_(rate / 100) {
    m_->apm.reset(webrtc::AudioProcessing::Create());
    webrtc::VoiceDetection* vad = m_->apm->voice_detection();
    vad->Enable(true);
    // The least likely to call a sound a voice: a night is mostly noise,
    // and the level over the noise floor decides the edges.
    vad->set_likelihood(webrtc::VoiceDetection::kVeryLowLikelihood);
    vad->set_frame_size_ms(10);
    m_->in = webrtc::StreamConfig(rate, 1);
    // The detector works at 16 kHz at most: the output needs no resampling up.
    m_->out = webrtc::StreamConfig(rate < 16000 ? rate : 16000, 1);
    m_->scratch.resize(m_->out.num_frames());
}

VoiceDetector::~VoiceDetector() = default;

bool VoiceDetector::voiced(const float* frame) {
    float* dest = m_->scratch.data();
    if (m_->apm->ProcessStream(&frame, m_->in, m_->out, &dest) != webrtc::AudioProcessing::kNoError)
        return false;
    return m_->apm->voice_detection()->stream_has_voice();
}

} // namespace kestle::review
