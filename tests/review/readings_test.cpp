// SPDX-License-Identifier: GPL-3.0-or-later
// Readings from log rows and the points a plot draws of them.
#include "review/decimate.h"
#include "review/log_rows.h"
#include "review/session_model.h"

#include <gtest/gtest.h>

namespace kestle::review {
namespace {

// Rows as the log stage writes them (threshold 1.31 V, Ch A 2.54 V, Ch B
// .49 V, 69 F; EMFA 6.38 and EMFB 4.25 mG; sensors 0, -10, ., 7.5 mG).
std::string row(const std::string& time, const std::string& threshold = " 1.31 VDC",
                const std::string& word = "venus ") {
    return time + ", 520, 550," + threshold + ", +, 2.54 VDC, .49 VDC,  266 Hz, 30 Hz,6," + word +
           ",69. F,Hum,6.38 mG,4.25 mG, 0 mG,-10. mG,. mG, 7.5 mG,\r\n\r\n";
}

TEST(LogReadings, ValuesOfTheColumnsAndTimesSpreadOverTheirSecond) {
    const std::string text =
        "Time ,Ch A, Ch B , Threshold , Trend , Ch A VDC ,Ch B VDC ,Ch A Freq ,Ch B Freq ,RF ID "
        ",Data,Temp,Humidity ,EMFA ,EMFB ,EMFC ,EMFD ,EMFE ,EMFFA ,\r\n" +
        row("12/7/2026 11:59:59 PM") + row("12/7/2026 11:59:59 PM") +
        "12/7/2026 11:59:59 PM, NA, NA, NA, NA, NA, NA, NA,NA,User: ,Is, anyone here?\r\n" +
        row("12/7/2026 11:59:59 PM", " 1.31 VDC", ", ") + row("12/8/2026 12:00:00 AM", " .6 VDC") +
        "\r\n";
    const auto r = logReadings(text, false);
    ASSERT_EQ(r.size(), 4u);
    const std::int64_t second = localMs({2026, 12, 7, 23, 59, 59});
    EXPECT_EQ(r[0].ms, second);
    EXPECT_EQ(r[1].ms, second + 333);
    EXPECT_EQ(r[2].ms, second + 666);
    EXPECT_EQ(r[3].ms, second + 1000);
    const Values& v = r[0].values;
    EXPECT_EQ(v[int(Series::VoltsA)], 2.54);
    EXPECT_EQ(v[int(Series::VoltsB)], 0.49);
    EXPECT_EQ(v[int(Series::Threshold)], 1.31);
    EXPECT_NEAR(v[int(Series::Emf)], 8.6558, 2e-3); // the combined field the display showed
    EXPECT_EQ(v[int(Series::NaturalEmf)], -10);
    EXPECT_EQ(v[int(Series::Temperature)], 69);
    EXPECT_EQ(r[3].values[int(Series::Threshold)], 0.6);
    EXPECT_EQ(r[2].values, v); // the word "," does not move the columns after it
}

TEST(LogReadings, TheDateOrderIsTheOneNearestTheSessionsStart) {
    const std::string text = row("03/04/2026 22:00:01") + row("03/04/2026 22:00:02");
    EXPECT_TRUE(logDayFirst(text, {2026, 4, 3, 22, 0, 0}));
    EXPECT_FALSE(logDayFirst(text, {2026, 3, 4, 22, 0, 0}));
    EXPECT_TRUE(logDayFirst(row("13.04.2026 22:00:01"), {2026, 3, 4, 22, 0, 0})); // only one reads
    EXPECT_EQ(logReadings(text, true).front().ms, localMs({2026, 4, 3, 22, 0, 1}));
}

TEST(Decimate, KeepsEveryPeakWithFewPointsAndRunsToTheEdges) {
    std::vector<Point> all;
    for (std::int64_t t = 0; t < 100000; ++t)
        all.push_back({t, t == 54321 ? 99.0 : t == 7777 ? -5.0 : double(t % 7)});
    const auto few = decimate(all, 1000, 90000, 100);
    EXPECT_LE(few.size(), 402u);
    EXPECT_GE(few.size(), 100u);
    EXPECT_EQ(few.front().ms, 999);
    EXPECT_EQ(few.back().ms, 90001);
    for (std::size_t i = 1; i < few.size(); ++i)
        EXPECT_LT(few[i - 1].ms, few[i].ms);
    auto has = [&few](std::int64_t t, double v) {
        return std::any_of(few.begin(), few.end(),
                           [&](const Point& p) { return p.ms == t && p.value == v; });
    };
    EXPECT_TRUE(has(54321, 99));
    EXPECT_TRUE(has(7777, -5));
    // A short span is drawn as it is.
    EXPECT_EQ(decimate(all, 10, 20, 100).size(), 13u);
    EXPECT_TRUE(decimate({}, 0, 10, 10).empty());
    const auto [lo, hi] = valueRange({{0, 2}, {1, 4}});
    EXPECT_DOUBLE_EQ(lo, 1.9);
    EXPECT_DOUBLE_EQ(hi, 4.1);
    EXPECT_EQ(valueRange({{0, 3}}), std::make_pair(2.0, 4.0));

    // Runs break where no reading came for 5 s, not where the points drawn
    // are far apart only because the ones between were left out.
    std::vector<Point> gappy;
    for (std::int64_t t = 0; t <= 100000; t += 500)
        if (t < 20000 || t > 40000)
            gappy.push_back({t, double(t)});
    const auto runs = splitAtGaps(decimate(gappy, 0, 100000, 5), gappy);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].back().ms, 19500);
    EXPECT_EQ(runs[1].front().ms, 40500);
    // The range of a zoom reaches where the lines cross its edges.
    const auto [a, b] =
        shownRange(splitAtGaps(decimate(gappy, 1200, 3300, 100), gappy), 1200, 3300);
    EXPECT_LE(a, 1200);
    EXPECT_GE(b, 3300);
}

TEST(JournalEvents, CapturesNameTheBagsCopiesAndWordsAnswerTheirQuestion) {
    const std::string journal =
        R"({"t":0,"time":"2026-12-07T22:00:00","event":"start","unit":"simulated, seed 1"})"
        "\n"
        R"({"t":50,"time":"2026-12-07T22:00:00","event":"word","word":"early","mode":"volts","level":3})"
        "\n"
        R"({"t":900,"time":"2026-12-07T22:00:00","event":"question","text":"Who \"is\" here?\r\n"})"
        "\n"
        R"({"t":1200,"time":"2026-12-07T22:00:01","event":"word","word":"cold","mode":"volts","level":3})"
        "\n"
        R"({"t":1300,"time":"2026-12-07T22:00:01","event":"capture","call":"Audio.CaptureFileName = \"/d/1 Alarm_Audio.wav\""})"
        "\n"
        R"({"t":1301,"time":"2026-12-07T22:00:01","event":"capture","call":"Audio.Start"})"
        "\n"
        R"({"t":1400,"time":"2026-12-07T22:00:01","event":"status","text":"Screen captured: /d/2 CVSCREEN.jpg"})"
        "\n"
        R"({"t":1500,"time":"2026-12-07T22:00:01","event":"word","word":"door","mode":"field","level":9})"
        "\n"
        R"({"t":1600,"time":"2026-12-07T22:00:01","event":"unplug"})"
        "\n"
        R"({"t":1700,"time":"2026-12-07T22:00:01","event":"alarm","text":"x Voltage Above 2.5\r\n"})"
        "\n"
        R"({"t":1800,"time":"2026-12-07T22:00:01","event":"ala)";
    const std::vector<FileEntry> files = {{"data/captures/1 Alarm_Audio.wav", "ab", 4, false}};
    const auto e = journalEvents(journal, 1000000, files);
    ASSERT_EQ(e.size(), 10u); // the line cut short by a kill is left out
    EXPECT_EQ(e[0].kind, EventKind::Start);
    EXPECT_EQ(e[2].kind, EventKind::Question);
    EXPECT_EQ(e[2].ms, 1000900);
    EXPECT_EQ(e[2].text, "Who \"is\" here?");
    EXPECT_EQ(e[2].words, (std::vector<std::string>{"cold", "door"}));
    EXPECT_EQ(e[5].kind, EventKind::Recording);
    EXPECT_EQ(e[5].text, "1 Alarm_Audio.wav (audio)");
    EXPECT_EQ(e[5].file, "data/captures/1 Alarm_Audio.wav");
    EXPECT_EQ(e[6].kind, EventKind::Screen);
    EXPECT_EQ(e[6].file, ""); // not in the bag
    EXPECT_EQ(e[6].text, "Screen captured: /d/2 CVSCREEN.jpg");
    EXPECT_EQ(e[8].kind, EventKind::Unplug);
    EXPECT_EQ(e[9].kind, EventKind::Alarm);
    EXPECT_EQ(e[9].text, "x Voltage Above 2.5");
}

// A journal of this version names the files actually made (" (2)" when the
// asked name existed) and is not read through its capture calls as well.
TEST(JournalEvents, TypedCaptureLinesNameTheFilesMadeAndAreNotCountedTwice) {
    const std::string journal =
        R"({"t":0,"time":"2026-12-07T22:00:00","event":"start"})"
        "\n"
        R"({"t":10,"time":"2026-12-07T22:00:00","event":"capture","call":"Audio.CaptureFileName = \"/d/a.wav\""})"
        "\n"
        R"({"t":11,"time":"2026-12-07T22:00:00","event":"capture","call":"Audio.Start"})"
        "\n"
        R"({"t":12,"time":"2026-12-07T22:00:00","event":"recording","state":"started","media":"audio","file":"/d/a (2).wav"})"
        "\n"
        R"({"t":20,"time":"2026-12-07T22:00:00","event":"capture","call":"Video.SnapShot \"/d/s.JPG\""})"
        "\n"
        R"({"t":25,"time":"2026-12-07T22:00:00","event":"snapshot","file":"/d/s (2).JPG"})"
        "\n"
        R"({"t":30,"time":"2026-12-07T22:00:00","event":"status","text":"Screen captured: /d/c.jpg"})"
        "\n"
        R"({"t":30,"time":"2026-12-07T22:00:00","event":"screen-capture","file":"/d/c.jpg"})"
        "\n"
        R"({"t":40,"time":"2026-12-07T22:00:00","event":"recording","state":"finished","media":"audio","file":"/d/a (2).wav","problem":"No space left on device"})"
        "\n";
    const std::vector<FileEntry> files = {{"data/captures/a (2).wav", "ab", 4, false},
                                          {"data/captures/s (2).JPG", "cd", 4, false}};
    const auto e = journalEvents(journal, 0, files);
    std::vector<std::string> marked;
    for (const Event& x : e)
        if (x.kind == EventKind::Recording || x.kind == EventKind::Snapshot ||
            x.kind == EventKind::Screen)
            marked.push_back(x.text + " | " + x.file);
    EXPECT_EQ(marked, (std::vector<std::string>{"a (2).wav (audio) | data/captures/a (2).wav",
                                                "s (2).JPG | data/captures/s (2).JPG",
                                                "Screen captured: /d/c.jpg | "}));
    EXPECT_EQ(e.back().text, "a (2).wav (audio) finished: No space left on device");
}

} // namespace
} // namespace kestle::review
