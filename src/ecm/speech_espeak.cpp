// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/speech_espeak.h"

#include <espeak-ng/espeak_ng.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <utility>

namespace kestle::ecm {

namespace {

// How long before a voice's audio ends its next utterance is synthesized
// and handed over, so consecutive utterances join without a gap.
constexpr auto kHandOverLead = std::chrono::milliseconds(80);
// Longest sleep of the worker while a voice is sounding or waiting; outputs
// are asked again after it.
constexpr auto kPollInterval = std::chrono::milliseconds(20);
constexpr std::size_t kHistoryLimit = 256;

// espeak-ng 1.51 hangs in espeak_ng_Terminate after a second initialisation,
// so the engine is set up once per process and never torn down.
struct Engine {
    std::mutex mutex;
    bool initialised = false;
    std::string failure;
    std::string voice; // voice currently selected; empty when unknown
};

Engine& engine() {
    static Engine instance;
    return instance;
}

std::string statusText(espeak_ng_STATUS status) {
    char buffer[256] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return buffer;
}

// Runs inside espeak_ng_Synthesize on the synthesizing thread.
int collectSamples(short* wav, int count, espeak_EVENT* events) {
    if (wav != nullptr && count > 0 && events != nullptr && events->user_data != nullptr) {
        auto* out = static_cast<Samples*>(events->user_data);
        out->insert(out->end(), wav, wav + count);
    }
    return 0;
}

// Engine mutex held.
Status prepareEngine(Engine& e, const std::string& voiceName) {
    if (!e.initialised) {
        e.initialised = true;
        espeak_ng_InitializePath(nullptr);
        espeak_ng_ERROR_CONTEXT context = nullptr;
        espeak_ng_STATUS status = espeak_ng_Initialize(&context);
        espeak_ng_ClearErrorContext(&context);
        if (status == ENS_OK) {
            status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 100, nullptr);
        }
        if (status == ENS_OK) {
            espeak_SetSynthCallback(collectSamples);
        } else {
            e.failure = statusText(status);
        }
    }
    if (!e.failure.empty()) {
        return Error{"Speech engine unavailable: " + e.failure};
    }
    if (e.voice != voiceName) {
        e.voice.clear();
        const espeak_ng_STATUS status = espeak_ng_SetVoiceByName(voiceName.c_str());
        if (status != ENS_OK) {
            return Error{"Speech engine unavailable: voice \"" + voiceName +
                         "\": " + statusText(status)};
        }
        // MBROLA voices change the rate; the outputs only take one.
        if (espeak_ng_GetSampleRate() != kSpeechSampleRate) {
            return Error{"Speech engine unavailable: voice \"" + voiceName + "\" produces " +
                         std::to_string(espeak_ng_GetSampleRate()) + " Hz audio"};
        }
        e.voice = voiceName;
    }
    return {};
}

Status engineReady(const std::string& voiceName) {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    return prepareEngine(e, voiceName);
}

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::string wavBytes(const Samples& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out = "RIFF";
    out.reserve(44 + dataBytes);
    putLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLe(out, 16, 4);                    // fmt chunk size
    putLe(out, 1, 2);                     // PCM
    putLe(out, 1, 2);                     // mono
    putLe(out, kSpeechSampleRate, 4);     // frames per second
    putLe(out, kSpeechSampleRate * 2, 4); // bytes per second
    putLe(out, 2, 2);                     // bytes per frame
    putLe(out, 16, 2);                    // bits per sample
    out += "data";
    putLe(out, dataBytes, 4);
    for (std::int16_t sample : samples) {
        putLe(out, static_cast<std::uint16_t>(sample), 2);
    }
    return out;
}

} // namespace

Result<Samples> synthesizeSpeech(std::string_view utf8Text, const std::string& voiceName) {
    Engine& e = engine();
    std::lock_guard lock(e.mutex);
    if (Status ready = prepareEngine(e, voiceName); !ready) {
        return Error{ready.error()};
    }
    const std::string text(utf8Text); // the engine wants a terminated string
    Samples samples;
    const espeak_ng_STATUS status = espeak_ng_Synthesize(
        text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &samples);
    if (status != ENS_OK) {
        return Error{"Speech synthesis failed: " + statusText(status)};
    }
    return samples;
}

// --- WAV files --------------------------------------------------------------

WavVoiceOutput::WavVoiceOutput(std::filesystem::path dir, int voice)
    : dir_(std::move(dir)), voice_(voice) {}

Status WavVoiceOutput::open() {
    std::error_code created;
    std::filesystem::create_directories(dir_, created);
    std::error_code checked;
    if (!std::filesystem::is_directory(dir_, checked)) {
        std::string why = created ? created.message() : "not a folder";
        return Error{"Speech output unavailable: cannot use folder \"" + dir_.string() +
                     "\": " + why};
    }
    return {};
}

Status WavVoiceOutput::play(const Samples& samples) {
    char name[32];
    std::snprintf(name, sizeof name, "voice%d-%04d.wav", voice_, written_ + 1);
    const std::filesystem::path path = dir_ / name;
    // Written aside and renamed, so a file that exists is complete.
    std::filesystem::path partial = path;
    partial += ".part";
    const std::string bytes = wavBytes(samples);
    bool ok = false;
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        ok = static_cast<bool>(file);
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(partial, path, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(partial, ec);
        return Error{"Speech output failed: cannot write \"" + path.string() + "\""};
    }
    ++written_;
    return {};
}

// --- the worker -------------------------------------------------------------

EspeakSpeech::EspeakSpeech(Outputs outputs, Options options)
    : outputs_(std::move(outputs)), options_(std::move(options)) {
    options_.backlog = std::max<std::size_t>(options_.backlog, 1);
    worker_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    idleCv_.wait(lock, [this] { return started_; });
}

EspeakSpeech::~EspeakSpeech() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& queue : queues_) {
            queue.clear();
        }
    }
    workCv_.notify_all();
    worker_.join();
}

void EspeakSpeech::speak(int voice, const std::string& utf8Text) {
    if (!isVoice(voice)) {
        return;
    }
    try {
        Request request{utf8Text, 0};
        std::lock_guard lock(mutex_);
        const auto index = static_cast<std::size_t>(voice - kFirstVoice);
        if (!engineOk_ || !usable_[index] || stopping_) {
            return;
        }
        request.order = nextOrder_++;
        auto& queue = queues_[index];
        queue.push_back(std::move(request));
        while (queue.size() > options_.backlog) {
            queue.pop_front();
            ++dropped_;
        }
        workCv_.notify_one();
    } catch (...) {
        // Out of memory: this utterance is lost, the caller carries on.
    }
}

void EspeakSpeech::quiet(int) {}

std::string EspeakSpeech::firstError() const {
    std::lock_guard lock(mutex_);
    return firstError_;
}

bool EspeakSpeech::waitIdle(std::chrono::milliseconds timeout) {
    const auto deadline = SpeechClock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (!idleLocked(SpeechClock::now())) {
        if (idleCv_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return idleLocked(SpeechClock::now());
        }
    }
    return true;
}

std::vector<EspeakSpeech::Utterance> EspeakSpeech::history() const {
    std::lock_guard lock(mutex_);
    return {history_.begin(), history_.end()};
}

std::size_t EspeakSpeech::droppedCount() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

Samples EspeakSpeech::synthesizeOnce(const std::string& utf8Text) {
    Result<Samples> samples = synthesizeSpeech(utf8Text, options_.voiceName);
    if (!samples) {
        std::lock_guard lock(mutex_);
        noteErrorLocked(samples.error());
        return {};
    }
    return std::move(*samples);
}

void EspeakSpeech::startUp() {
    const Status ready = engineReady(options_.voiceName);
    std::array<bool, kLastVoice> usable{};
    std::string error = ready.ok() ? std::string() : ready.error();
    if (ready) {
        for (std::size_t i = 0; i < outputs_.size(); ++i) {
            const Status opened = outputs_[i]->open();
            usable[i] = opened.ok();
            if (!opened && error.empty()) {
                error = opened.error();
            }
        }
    }
    std::lock_guard lock(mutex_);
    engineOk_ = ready.ok();
    usable_ = usable;
    if (!error.empty()) {
        noteErrorLocked(error);
    }
    refreshBusyLocked();
    started_ = true;
    idleCv_.notify_all();
}

void EspeakSpeech::run() {
    startUp();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        refreshBusyLocked();
        const auto now = SpeechClock::now();
        const int index = nextReadyVoice(now);
        if (index < 0) {
            idleCv_.notify_all();
            const bool waiting = std::any_of(queues_.begin(), queues_.end(),
                                             [](const auto& queue) { return !queue.empty(); });
            const bool sounding = std::any_of(busyUntil_.begin(), busyUntil_.end(),
                                              [now](auto until) { return until > now; });
            if (waiting || sounding) {
                workCv_.wait_for(lock, kPollInterval);
            } else {
                workCv_.wait(lock);
            }
            continue;
        }
        const auto voice = static_cast<std::size_t>(index);
        Request request = std::move(queues_[voice].front());
        queues_[voice].pop_front();
        working_ = true;
        lock.unlock();

        Utterance utterance{index + kFirstVoice, request.text, SpeechClock::now(), 0};
        Result<Samples> audio = synthesizeSpeech(request.text, options_.voiceName);
        Status played = audio ? outputs_[voice]->play(*audio) : Status(Error{audio.error()});
        utterance.samples = audio ? audio->size() : 0;

        lock.lock();
        working_ = false;
        if (!played) {
            noteErrorLocked(played.error());
        }
        if (audio) {
            history_.push_back(std::move(utterance));
            if (history_.size() > kHistoryLimit) {
                history_.pop_front();
            }
        }
        refreshBusyLocked();
    }
    working_ = false;
    idleCv_.notify_all();
}

void EspeakSpeech::refreshBusyLocked() {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        busyUntil_[i] = usable_[i] ? outputs_[i]->busyUntil() : SpeechClock::time_point::min();
    }
}

int EspeakSpeech::nextReadyVoice(SpeechClock::time_point now) const {
    int best = -1;
    for (std::size_t i = 0; i < queues_.size(); ++i) {
        if (queues_[i].empty() || busyUntil_[i] > now + kHandOverLead) {
            continue;
        }
        if (best < 0 ||
            queues_[i].front().order < queues_[static_cast<std::size_t>(best)].front().order) {
            best = static_cast<int>(i);
        }
    }
    return best;
}

bool EspeakSpeech::idleLocked(SpeechClock::time_point now) const {
    if (!started_ || working_) {
        return false;
    }
    for (std::size_t i = 0; i < queues_.size(); ++i) {
        if (!queues_[i].empty() || busyUntil_[i] > now) {
            return false;
        }
    }
    return true;
}

void EspeakSpeech::noteErrorLocked(const std::string& message) {
    if (firstError_.empty()) {
        firstError_ = message;
    }
}

} // namespace kestle::ecm
