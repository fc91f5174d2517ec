// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Speech on espeak-ng. The engine is process-global (one voice, one
// callback), so one worker thread per EspeakSpeech synthesizes the queued
// utterances in order, and every engine call in the process is serialized.
// Each voice hands its audio to its own VoiceOutput, so the four voices can
// sound at the same time while synthesis itself stays one at a time (a word
// takes a few milliseconds).
#include "ecm/speech.h"
#include "support/result.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestle::ecm {

// Synthesized audio: signed 16-bit mono samples at kSpeechSampleRate.
using Samples = std::vector<std::int16_t>;
inline constexpr int kSpeechSampleRate = 22050;

using SpeechClock = std::chrono::steady_clock;

// Where one voice's audio goes. Owned by EspeakSpeech; every call comes from
// its worker thread.
class VoiceOutput {
  public:
    virtual ~VoiceOutput() = default;
    // Prepares the output before the first utterance. An error here is kept
    // as the speech's first error and the voice stays silent.
    virtual Status open() = 0;
    // Takes one whole utterance (possibly empty). Must not wait for playback.
    virtual Status play(const Samples& samples) = 0;
    // When the audio handed over so far will have finished sounding; a past
    // time when the output is free. The worker holds a voice's next
    // utterance back until shortly before this time.
    virtual SpeechClock::time_point busyUntil() const = 0;
};

// Writes each utterance as DIR/voiceN-SEQ.wav (16-bit PCM, mono, 22050 Hz),
// SEQ counting from 0001 per voice. Never busy. The folder is created when
// missing.
class WavVoiceOutput final : public VoiceOutput {
  public:
    WavVoiceOutput(std::filesystem::path dir, int voice);
    Status open() override;
    Status play(const Samples& samples) override;
    SpeechClock::time_point busyUntil() const override { return SpeechClock::time_point::min(); }

  private:
    std::filesystem::path dir_;
    int voice_;
    int written_ = 0;
};

// Thread-safe; blocks the caller for the synthesis (serialized with every
// worker in the process). `voiceName` is an espeak-ng voice such as "en".
Result<Samples> synthesizeSpeech(std::string_view utf8Text, const std::string& voiceName = "en");

class EspeakSpeech final : public Speech {
  public:
    struct Options {
        std::string voiceName = "en";
        // Utterances allowed to wait per voice behind the one sounding; a
        // newer one pushes out the oldest waiting, so speech never lags far
        // behind the display.
        std::size_t backlog = 3;
    };

    // One synthesized utterance, for tests and diagnostics.
    struct Utterance {
        int voice = 0;
        std::string text;
        SpeechClock::time_point synthesisStart;
        std::size_t samples = 0;
    };

    using Outputs = std::array<std::unique_ptr<VoiceOutput>, kLastVoice>;

    // outputs[i] serves voice i + 1; none may be null. Returns once the
    // engine and the outputs are set up (firstError() then tells whether
    // they are usable); never throws for engine or output failures.
    explicit EspeakSpeech(Outputs outputs, Options options);
    explicit EspeakSpeech(Outputs outputs) : EspeakSpeech(std::move(outputs), Options{}) {}
    // Drops what is still waiting and joins the worker.
    ~EspeakSpeech() override;

    EspeakSpeech(const EspeakSpeech&) = delete;
    EspeakSpeech& operator=(const EspeakSpeech&) = delete;

    void speak(int voice, const std::string& utf8Text) override;
    void quiet(int voice) override;
    std::string firstError() const override;

    // Waits until every accepted utterance has been synthesized and handed
    // over (or dropped) and every output has finished sounding, or until
    // `timeout`. Returns whether it got idle. For shutdown and tests.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // The most recent synthesized utterances (up to 256), oldest first.
    std::vector<Utterance> history() const;
    // Utterances pushed out of a full backlog so far.
    std::size_t droppedCount() const;

    // Synthesizes in this speech's voice straight to memory, bypassing the
    // queues; empty when the engine is unavailable. Blocks the caller.
    Samples synthesizeOnce(const std::string& utf8Text);

  private:
    struct Request {
        std::string text;
        std::uint64_t order = 0;
    };

    void run();
    void startUp();
    void refreshBusyLocked();
    // Voice index (0-based) whose next utterance may go now, or -1.
    int nextReadyVoice(SpeechClock::time_point now) const;
    bool idleLocked(SpeechClock::time_point now) const;
    void noteErrorLocked(const std::string& message);

    Outputs outputs_;
    Options options_;

    mutable std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable idleCv_;
    std::array<std::deque<Request>, kLastVoice> queues_;
    std::array<bool, kLastVoice> usable_{};
    std::array<SpeechClock::time_point, kLastVoice> busyUntil_{};
    std::deque<Utterance> history_;
    std::uint64_t nextOrder_ = 0;
    std::size_t dropped_ = 0;
    bool engineOk_ = false;
    bool started_ = false;
    bool working_ = false;
    bool stopping_ = false;
    std::string firstError_;

    std::thread worker_;
};

} // namespace kestle::ecm
