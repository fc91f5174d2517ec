// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis on recordings with known content: spoken stretches found at
// their edges, tones, clicks, noise and silence not called voice, the
// team's own speech told apart, and the spectrogram's bands where the
// sound is.
#include "review/moments.h"
#include "review/sound_analysis.h"
#include "review/spectrogram.h"
#include "sound_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kestle::review {
namespace {

using test::kRate;
using test::MemorySource;
using test::Placed;
using test::Recording;

SoundAnalysis analysed(const Recording& r) {
    MemorySource src(r.samples());
    auto a = analyseSound(src);
    EXPECT_TRUE(a.ok()) << a.error();
    return a ? std::move(*a) : SoundAnalysis{};
}

std::vector<Stretch> overlapping(const std::vector<Stretch>& all, const Placed& p) {
    std::vector<Stretch> out;
    for (const Stretch& s : all)
        if (double(s.fromMs) / 1000 < p.to && p.from < double(s.toMs) / 1000)
            out.push_back(s);
    return out;
}

TEST(SoundAnalysis, SpeechIsFoundAtItsEdgesAndToneAndClicksAreNotVoice) {
    Recording r(45);
    r.room();
    const std::vector<Placed> spoken = {
        r.speech(3, "Is anyone here with us tonight?"),
        r.speech(12, "Knock twice if you can hear me."),
        r.speech(21, "What is your name?", -24), // quieter, further from the microphone
    };
    const Placed tone = r.tone(29, 3, 440);
    const Placed clicks = r.clicks(36, 6, 0.25);
    const SoundAnalysis a = analysed(r);
    ASSERT_EQ(a.level.size(), 4500u);
    const std::vector<Stretch> found = findStretches(a);
    for (const Placed& p : spoken) {
        const auto near = overlapping(found, p);
        ASSERT_EQ(near.size(), 1u) << "speech at " << p.from << " s";
        const Stretch& s = near[0];
        EXPECT_GE(s.voice, kVoiceAt) << "speech at " << p.from << " s";
        const double start = double(s.fromMs) / 1000 - p.from, end = double(s.toMs) / 1000 - p.to;
        std::printf(
            "speech %.2f-%.2f s found %.2f-%.2f s: edge errors %+.2f s, %+.2f s, voice %.2f\n",
            p.from, p.to, double(s.fromMs) / 1000, double(s.toMs) / 1000, start, end, s.voice);
        EXPECT_LE(std::abs(start), 0.3);
        EXPECT_LE(std::abs(end), 0.3);
    }
    for (const Placed& p : {tone, clicks}) {
        const auto near = overlapping(found, p);
        EXPECT_FALSE(near.empty()) << "a sound at " << p.from << " s stands out of the floor";
        for (const Stretch& s : near) {
            std::printf("sound at %.2f s: voice %.2f\n", p.from, s.voice);
            EXPECT_LT(s.voice, kVoiceAt) << "at " << p.from << " s";
        }
    }
    // Nothing else is a voice: the room's noise and hum stay under the floor's margin.
    int voices = 0;
    for (const Stretch& s : found)
        voices += s.voice >= kVoiceAt;
    EXPECT_EQ(voices, 3);
}

TEST(SoundAnalysis, NoiseSilenceAndAToneAloneAreNotVoice) {
    Recording noise(60);
    noise.room(-40, 11).silence(20, 5); // a drop-out of the microphone
    Recording tone(20);
    tone.tone(0, 20, 440, -20); // the test tone a headless session records
    Recording louder(30);
    louder.room(-55, 3);
    louder.room(-40, 4); // the ground itself changing level
    for (const Recording* r : {&noise, &tone, &louder})
        for (const Stretch& s : findStretches(analysed(*r)))
            EXPECT_LT(s.voice, kVoiceAt) << s.fromMs << " ms";
}

TEST(SoundAnalysis, TheTeamsOwnSpeechIsToldApart) {
    Recording r(30);
    r.room();
    const Placed output = r.speech(4, "Is anyone here?");
    const Placed unknown = r.speech(18, "Get out of here.");
    const SoundAnalysis a = analysed(r);
    const std::int64_t t0 = 1'800'000'000'000;
    Event rec;
    rec.kind = EventKind::Recording;
    rec.ms = rec.heardFromMs = t0;
    rec.file = "data/captures/night.wav";
    rec.durationMs = 30000;
    Event said;
    said.name = "speech";
    said.ms = t0 + 4000;
    said.text = "1 \"Is anyone here?\"";
    Event alarm;
    alarm.kind = EventKind::Alarm;
    alarm.ms = t0 + 20000;
    SessionModel m;
    m.events = {rec, said, alarm};
    const MomentContext c = momentContext(m);
    std::vector<Moment> moments = recordingMoments(rec, a, c);
    rankMoments(moments);
    auto at = [&](const Placed& p) -> const Moment* {
        for (const Moment& mo : moments)
            if (double(mo.offsetMs) / 1000 < p.to &&
                p.from < double(mo.offsetMs + mo.lengthMs) / 1000)
                return &mo;
        return nullptr;
    };
    ASSERT_NE(at(output), nullptr);
    ASSERT_NE(at(unknown), nullptr);
    EXPECT_EQ(at(output)->kind, MomentKind::Team);
    EXPECT_EQ(at(unknown)->kind, MomentKind::Voice);
    // The unknown voice near the alarm ranks first, with its reasons.
    EXPECT_EQ(&moments.front(), at(unknown));
    const std::string line = momentLine(moments.front());
    EXPECT_NE(line.find("\tdata/captures/night.wav\t"), std::string::npos) << line;
    EXPECT_NE(line.find("before an alarm"), std::string::npos) << line;
    EXPECT_NE(momentLine(*at(output)).find("the team: speech output \"Is anyone here?\""),
              std::string::npos);
}

TEST(Spectrogram, BandsHoldTheSoundWhereItIs) {
    Recording r(4);
    r.tone(1, 2, 1031, -6); // the middle of the 17th band
    MemorySource src(r.samples());
    const SoundAnalysis a = analysed(r);
    ASSERT_EQ(a.overview.columns(), 8u);
    auto loudestRow = [](const Spectrogram& s, std::size_t c) {
        int best = 0;
        for (int row = 1; row < kSpectrumRows; ++row)
            if (s.at(c, row) > s.at(c, best))
                best = row;
        return best;
    };
    EXPECT_EQ(loudestRow(a.overview, 3), 16); // 1000 to 1062.5 Hz
    EXPECT_NEAR(dbOfCell(a.overview.at(3, 16)), -6, 3);
    EXPECT_EQ(a.overview.at(0, 16), 0); // digital silence before it
    auto detail = detailSpectrogram(src, kRate / 2, kRate * 2);
    ASSERT_TRUE(detail.ok()) << detail.error();
    EXPECT_EQ(detail->firstColumn, 50);
    ASSERT_EQ(detail->columns(), 200u);
    EXPECT_LT(detail->at(40, 16), 40);      // 0.9 s: not yet
    EXPECT_EQ(loudestRow(*detail, 60), 16); // 1.1 s: the tone
    EXPECT_NEAR(dbOfCell(detail->at(60, 16)), -6, 3);
}

} // namespace
} // namespace kestle::review
