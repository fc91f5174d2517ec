// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/speech_espeak.h"
#include "ecm/speech_factory.h"
#include "ecm/speech_playback_gst.h"
#include "fakes/wait_for.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace kestle::ecm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kestle::test::waitFor;

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() /
                ("kestle-speech-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::vector<std::string> fileNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::uint32_t le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Checks the RIFF layout independently of the writer and returns the samples.
testing::AssertionResult readWav(const fs::path& path, Samples& samples) {
    std::ifstream file(path, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(file), {}};
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 8, "WAVEfmt ") != 0 ||
        b.compare(36, 4, "data") != 0) {
        return testing::AssertionFailure() << path << " is not a canonical WAV file";
    }
    if (le(b, 4, 4) != b.size() - 8 || le(b, 40, 4) != b.size() - 44) {
        return testing::AssertionFailure() << path << " has wrong chunk sizes";
    }
    if (le(b, 16, 4) != 16 || le(b, 20, 2) != 1 || le(b, 22, 2) != 1 || le(b, 24, 4) != 22050 ||
        le(b, 28, 4) != 44100 || le(b, 32, 2) != 2 || le(b, 34, 2) != 16) {
        return testing::AssertionFailure() << path << " is not 16-bit mono PCM at 22050 Hz";
    }
    samples.resize((b.size() - 44) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(le(b, 44 + 2 * i, 2));
    }
    return testing::AssertionSuccess();
}

double rms(const Samples& samples) {
    double sum = 0;
    for (auto s : samples) {
        sum += double(s) * s;
    }
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

EspeakSpeech& espeakOf(const std::unique_ptr<Speech>& speech) {
    return dynamic_cast<EspeakSpeech&>(*speech);
}

// An output that, once told to hold, stays busy after each play until released.
struct FakeState {
    std::atomic<int> plays{0};
    std::atomic<bool> holdAfterPlay{false};
    std::atomic<bool> busy{false};
};

class FakeOutput final : public VoiceOutput {
  public:
    explicit FakeOutput(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    Status open() override { return {}; }
    Status play(const Samples&) override {
        state_->busy = state_->holdAfterPlay.load();
        ++state_->plays;
        return {};
    }
    SpeechClock::time_point busyUntil() const override {
        return state_->busy ? SpeechClock::time_point::max() : SpeechClock::time_point::min();
    }

  private:
    std::shared_ptr<FakeState> state_;
};

struct FakeVoices {
    std::array<std::shared_ptr<FakeState>, 4> states;
    EspeakSpeech::Outputs outputs() {
        EspeakSpeech::Outputs out;
        for (std::size_t i = 0; i < 4; ++i) {
            states[i] = std::make_shared<FakeState>();
            out[i] = std::make_unique<FakeOutput>(states[i]);
        }
        return out;
    }
};

std::vector<std::string> texts(const EspeakSpeech& speech) {
    std::vector<std::string> out;
    for (const auto& u : speech.history()) {
        out.push_back(std::to_string(u.voice) + ":" + u.text);
    }
    return out;
}

TEST(SpeechFactory, AcceptsOnlyKnownOptions) {
    for (const char* bad : {"", "bogus", "AUTO", "wav:", "wav", "none "}) {
        auto speech = makeSpeech(bad);
        EXPECT_FALSE(speech.ok()) << bad;
        EXPECT_NE(speech.error().find(std::string("\"") + bad + "\""), std::string::npos);
    }
    auto none = makeSpeech("none");
    ASSERT_TRUE(none.ok());
    (*none)->speak(1, "hello");
    (*none)->quiet(1);
    EXPECT_EQ((*none)->firstError(), "");
}

TEST(WavSpeech, WritesOneRealUtterancePerFileNamedByVoice) {
    TempDir dir;
    auto speech = makeSpeech("wav:" + dir.path().string());
    ASSERT_TRUE(speech.ok());
    (*speech)->speak(1, "hello");
    (*speech)->speak(3, "hello");
    (*speech)->speak(1, "world");
    ASSERT_TRUE(espeakOf(*speech).waitIdle());
    EXPECT_EQ((*speech)->firstError(), "");
    EXPECT_EQ(fileNames(dir.path()),
              (std::vector<std::string>{"voice1-0001.wav", "voice1-0002.wav", "voice3-0001.wav"}));
    for (const auto& name : fileNames(dir.path())) {
        Samples samples;
        ASSERT_TRUE(readWav(dir.path() / name, samples));
        EXPECT_GT(samples.size(), kSpeechSampleRate / 10) << name; // > 100 ms
        EXPECT_GT(rms(samples), 300.0) << name;                    // speech, not silence
    }
    EXPECT_EQ(texts(espeakOf(*speech)),
              (std::vector<std::string>{"1:hello", "3:hello", "1:world"}));
}

TEST(WavSpeech, IgnoresQuietAndVoicesOutOfRange) {
    TempDir dir;
    auto speech = makeSpeech("wav:" + dir.path().string());
    ASSERT_TRUE(speech.ok());
    for (int voice : {-1, 0, 5, 99}) {
        (*speech)->speak(voice, "hello");
    }
    for (int voice = 0; voice <= 5; ++voice) {
        (*speech)->quiet(voice);
    }
    (*speech)->speak(4, "hi");
    ASSERT_TRUE(espeakOf(*speech).waitIdle());
    EXPECT_EQ(fileNames(dir.path()), std::vector<std::string>{"voice4-0001.wav"});
}

TEST(WavSpeech, UnusableFolderIsReportedAndSilent) {
    TempDir dir;
    std::ofstream(dir.path() / "plain") << "x";
    const fs::path target = dir.path() / "plain" / "sub";
    auto speech = makeSpeech("wav:" + target.string());
    ASSERT_TRUE(speech.ok());
    EXPECT_NE((*speech)->firstError().find(target.string()), std::string::npos);
    (*speech)->speak(1, "hello");
    EXPECT_TRUE(espeakOf(*speech).waitIdle(1s));
    EXPECT_EQ(fileNames(dir.path()), std::vector<std::string>{"plain"});
}

TEST(WavSpeech, ShutdownWithPendingSpeechLeavesOnlyCompleteFiles) {
    TempDir dir;
    {
        auto speech = makeSpeech("wav:" + dir.path().string());
        ASSERT_TRUE(speech.ok());
        for (int i = 0; i < 20; ++i) {
            (*speech)->speak(1 + i % 4, "word number " + std::to_string(i));
        }
    }
    for (const auto& name : fileNames(dir.path())) {
        Samples samples;
        EXPECT_TRUE(readWav(dir.path() / name, samples));
    }
}

TEST(EspeakEngine, UnknownVoiceMakesSpeechSilentWithOneLineError) {
    FakeVoices voices;
    EspeakSpeech speech(voices.outputs(), {.voiceName = "no-such-voice", .backlog = 3});
    EXPECT_EQ(speech.firstError().rfind("Speech engine unavailable: ", 0), 0u);
    EXPECT_EQ(speech.firstError().find('\n'), std::string::npos);
    speech.speak(1, "hello");
    EXPECT_TRUE(speech.waitIdle(1s));
    EXPECT_EQ(voices.states[0]->plays, 0);
    EXPECT_TRUE(speech.synthesizeOnce("hello").empty());
    // The shared engine still serves other voices afterwards.
    EXPECT_GT(synthesizeSpeech("hello")->size(), std::size_t(kSpeechSampleRate / 10));
}

TEST(VoiceScheduling, BusyVoiceKeepsOnlyTheNewestBacklog) {
    FakeVoices voices;
    EspeakSpeech speech(voices.outputs());
    auto& first = *voices.states[0];
    first.holdAfterPlay = true;
    speech.speak(1, "first");
    ASSERT_TRUE(waitFor([&] { return first.plays == 1; }, 5s));
    for (int i = 1; i <= 20; ++i) { // returns while voice 1 is still sounding
        speech.speak(1, "w" + std::to_string(i));
    }
    EXPECT_EQ(speech.droppedCount(), 17u);
    EXPECT_FALSE(speech.waitIdle(50ms));
    EXPECT_EQ(first.plays, 1);
    first.holdAfterPlay = false;
    first.busy = false;
    ASSERT_TRUE(speech.waitIdle());
    EXPECT_EQ(texts(speech), (std::vector<std::string>{"1:first", "1:w18", "1:w19", "1:w20"}));
}

TEST(VoiceScheduling, VoicesSoundTogether) {
    FakeVoices voices;
    EspeakSpeech speech(voices.outputs());
    for (int v = 1; v <= 4; ++v) {
        voices.states[std::size_t(v - 1)]->holdAfterPlay = true;
        speech.speak(v, "ah");
    }
    // Every voice got its utterance while all the others were still sounding.
    EXPECT_TRUE(waitFor(
        [&] {
            return std::all_of(voices.states.begin(), voices.states.end(),
                               [](const auto& s) { return s->plays == 1 && s->busy; });
        },
        5s));
}

TEST(VoiceScheduling, DestructionDropsWaitingSpeech) {
    FakeVoices voices;
    {
        EspeakSpeech speech(voices.outputs());
        voices.states[0]->holdAfterPlay = true;
        speech.speak(1, "first");
        ASSERT_TRUE(waitFor([&] { return voices.states[0]->plays == 1; }, 5s));
        speech.speak(1, "second");
        speech.speak(1, "third");
    }
    EXPECT_EQ(voices.states[0]->plays, 1);
}

TEST(GstPlayback, QueuesEachUtteranceAfterTheLastOne) {
    GstVoiceOutput output("fakesink sync=true");
    ASSERT_TRUE(output.open());
    ASSERT_FALSE(output.discarding());
    const Samples tone(kSpeechSampleRate * 3 / 10, 1000); // 300 ms
    const auto before = SpeechClock::now();
    ASSERT_TRUE(output.play(tone));
    const auto firstEnd = output.busyUntil();
    EXPECT_GE(firstEnd - before, 300ms);
    ASSERT_TRUE(output.play(tone)); // right away: joins on, does not overlap
    EXPECT_GE(output.busyUntil() - firstEnd, 295ms);
    EXPECT_LT(output.busyUntil() - firstEnd, 1s);
}

TEST(GstPlayback, UnstartableSinkDiscardsSilently) {
    GstVoiceOutput output("no-such-sink-element");
    EXPECT_TRUE(output.open());
    EXPECT_TRUE(output.discarding());
    EXPECT_TRUE(output.play(Samples(1000, 1000)));
    EXPECT_LE(output.busyUntil(), SpeechClock::now());
}

TEST(AutoSpeech, WithoutSoundDeviceStaysQuietAndErrorFree) {
    testing::internal::CaptureStderr();
    {
        auto speech = makeSpeech("auto");
        ASSERT_TRUE(speech.ok());
        for (int v = 1; v <= 4; ++v) {
            (*speech)->speak(v, "hello");
        }
        EXPECT_TRUE(espeakOf(*speech).waitIdle());
        EXPECT_EQ((*speech)->firstError(), "");
        EXPECT_EQ(espeakOf(*speech).history().size(), 4u);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
} // namespace kestle::ecm
