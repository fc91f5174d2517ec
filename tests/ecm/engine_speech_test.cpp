// SPDX-License-Identifier: GPL-3.0-or-later
// The engine on real espeak-ng voices written as WAV files.
#include "ecm/announcing_speech.h"
#include "ecm/speech_espeak.h"
#include "engine_fixture.h"
#include "wav_check.h"

#include <unistd.h>

namespace kestle::ecm {
namespace {

namespace fs = std::filesystem;
using testing::holdsSpeech;
using testing::summarizeWav;
using testing::wavFiles;

class SpokenEngine : public testing::EngineTest {
  protected:
    SpokenEngine()
        : EngineTest("> 00 05 00 06 00 09 00 01\n"),
          dir_(fs::temp_directory_path() /
               ("kestle-engine-wav-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(dir_);
        EspeakSpeech::Outputs outputs;
        for (int v = kFirstVoice; v <= kLastVoice; ++v)
            outputs[static_cast<std::size_t>(v - 1)] = std::make_unique<WavVoiceOutput>(dir_, v);
        espeak_ = std::make_unique<EspeakSpeech>(std::move(outputs));
        useSpeech(*espeak_);
        engine->loadlist();
        connect();
    }
    ~SpokenEngine() override {
        acq.reset();
        engine.reset();
        espeak_.reset();
        fs::remove_all(dir_);
    }

    void expectSpeechIn(const std::vector<std::string>& names) {
        for (const auto& n : names)
            EXPECT_TRUE(holdsSpeech(summarizeWav(dir_ / n))) << n;
    }

    fs::path dir_;
    std::unique_ptr<EspeakSpeech> espeak_;
};

TEST_F(SpokenEngine, EverySpokenWordLeavesAFileWithSpeech) {
    ASSERT_EQ(espeak_->firstError(), "");
    f.speechON->setChecked(true);
    const double levels[][2] = {{4, 10}, {6, 6}, {1, 0}};
    for (const auto& l : levels) {
        voltageWord(l[0], l[1]);
        ASSERT_TRUE(espeak_->waitIdle());
    }
    EXPECT_EQ(f.main_display->text(), "soldier kid chance ");
    const std::vector<std::string> expected{"voice1-0001.wav", "voice1-0002.wav",
                                            "voice1-0003.wav"};
    EXPECT_EQ(wavFiles(dir_, "voice"), expected);
    expectSpeechIn(expected);
}

TEST_F(SpokenEngine, OneTimeSliceTickSpeaksAllFourVoicesTogether) {
    f.tsphone->click();
    for (auto* c : f.Check1)
        c->setValue(1);
    engine->htime_Tick();
    while (engine->phonemeRunning() && sched.runOne()) {
    }
    ASSERT_TRUE(espeak_->waitIdle());
    // Every voice got its utterance from the same tick: 5, 6, 9, 1.
    std::vector<std::string> texts;
    for (const auto& u : espeak_->history())
        texts.push_back(std::to_string(u.voice) + " " + u.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"1 flat ", "2 lasting ", "3 grace ", "4 chance "}));
    for (int v = 1; v <= 4; ++v) {
        const std::string n = "voice" + std::to_string(v) + "-0001.wav";
        EXPECT_EQ(wavFiles(dir_, "voice" + std::to_string(v) + "-"), std::vector<std::string>{n});
        expectSpeechIn({n});
    }
}

} // namespace
} // namespace kestle::ecm
