// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/announcing_speech.h"
#include "engine_fixture.h"

namespace kestle::ecm {
namespace {

using testing::EngineTest;
using testing::FakeSpeech;
using V = std::vector<std::string>;

class SpeechCalls : public EngineTest {};

TEST_F(SpeechCalls, SpeechOnStopsThePhonemeTimerAndShowsTheQuestionPanel) {
    f.Frame3->setVisible(false);
    f.htime->setEnabled(true);
    f.speechON->click();
    EXPECT_TRUE(f.speechON->checked());
    EXPECT_FALSE(f.htime->enabled());
    EXPECT_TRUE(f.Frame3->visible());

    f.htime->setEnabled(true);
    f.Frame3->setVisible(false);
    f.speechON->click(); // off changes nothing else
    EXPECT_FALSE(f.speechON->checked());
    EXPECT_TRUE(f.htime->enabled());
    EXPECT_FALSE(f.Frame3->visible());
    f.htime->setEnabled(false);
}

TEST_F(SpeechCalls, TypedLineIsSpokenWithItsLineEndAndTheBoxEmptied) {
    f.Text1->setText("");
    for (const char* part : {"h", "i", "\r"})
        f.Text1->appendText(part);
    EXPECT_TRUE(speech.calls.empty());
    f.Text1->appendText("\n");
    EXPECT_EQ(speech.calls, (V{"1 hi\r\n"}));
    EXPECT_EQ(f.Text1->text(), "");

    // Interval numbers from the slider are not spoken, speech on or off.
    f.speechON->setChecked(true);
    f.Slider2->setValue(80);
    EXPECT_EQ(f.Text1->text(), " 80");
    EXPECT_EQ(speech.calls.size(), 1u);
}

TEST_F(SpeechCalls, TypedTextSurvivesAFailingEngine) {
    speech.error = "Speech engine unavailable";
    f.Text1->setText("a\r\n");
    f.Text1->setText("b\r\n");
    EXPECT_EQ(f.Text1->text(), "");
    EXPECT_EQ(host.lines, (V{"STATUS Speech engine unavailable"}));
}

TEST(AnnouncingSpeech, ReportsEachCallAndPassesItOn) {
    auto inner = std::make_unique<FakeSpeech>();
    FakeSpeech& fake = *inner;
    V lines;
    AnnouncingSpeech s(std::move(inner), [&lines](const events::Event& e) {
        if (auto* sp = std::get_if<events::Speech>(&e))
            lines.push_back(std::to_string(sp->voice) + ":" + sp->text);
        else if (auto* q = std::get_if<events::Quiet>(&e))
            lines.push_back("quiet " + std::to_string(q->voice));
    });
    s.speak(2, "say \"hi\"\r\n");
    s.quiet(1);
    s.speak(5, "nobody");
    s.quiet(0);
    EXPECT_EQ(lines, (V{"2:say \"hi\"\r\n", "quiet 1"}));
    EXPECT_EQ(fake.calls, (V{"2 say \"hi\"\r\n", "quiet 1"}));
    EXPECT_EQ(s.firstError(), "");
    fake.error = "broken";
    EXPECT_EQ(s.firstError(), "broken");
}

} // namespace
} // namespace kestle::ecm
