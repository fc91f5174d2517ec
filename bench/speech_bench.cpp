// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of speech synthesis per utterance: straight to memory (what the worker
// spends before a voice can sound) and through the WAV output.
#include "ecm/speech_espeak.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using kestle::ecm::kSpeechSampleRate;

void synthesizeToMemory(benchmark::State& state, const std::string& text) {
    std::size_t samples = 0;
    for (auto _ : state) {
        auto audio = kestle::ecm::synthesizeSpeech(text);
        if (!audio) {
            state.SkipWithError(audio.error().c_str());
            return;
        }
        samples = audio->size();
        benchmark::DoNotOptimize(audio->data());
    }
    state.counters["audio_ms"] = double(samples) * 1000.0 / kSpeechSampleRate;
}
BENCHMARK_CAPTURE(synthesizeToMemory, phoneme, std::string("ka"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(synthesizeToMemory, word, std::string("hello"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(synthesizeToMemory, long_word, std::string("investigation"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(synthesizeToMemory, sentence, std::string("is anybody there with us tonight"))
    ->Unit(benchmark::kMillisecond);

// speak() until the file is on disk, through the queue and the worker.
void speakToWavFile(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("kestle-speech-bench-" + std::to_string(::getpid()));
    {
        kestle::ecm::EspeakSpeech::Outputs outputs;
        for (int voice = 1; voice <= 4; ++voice) {
            outputs[std::size_t(voice - 1)] =
                std::make_unique<kestle::ecm::WavVoiceOutput>(dir, voice);
        }
        kestle::ecm::EspeakSpeech speech(std::move(outputs));
        if (!speech.firstError().empty()) {
            state.SkipWithError(speech.firstError().c_str());
        } else {
            for (auto _ : state) {
                speech.speak(1, "hello");
                if (!speech.waitIdle()) {
                    state.SkipWithError("speech did not finish");
                    break;
                }
            }
        }
    }
    fs::remove_all(dir);
}
BENCHMARK(speakToWavFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
