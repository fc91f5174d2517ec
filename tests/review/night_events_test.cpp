// SPDX-License-Identifier: GPL-3.0-or-later
// What a review makes of a night's journal: the words that answer each
// question, and the alarms of a limit that trips in every check as
// episodes.
#include "review/alarm_episodes.h"
#include "review/session_model.h"

#include <gmock/gmock.h>

namespace kestle::review {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string line(std::int64_t t, const std::string& event, const std::string& more = {}) {
    return "{\"t\":" + std::to_string(t) + ",\"time\":\"2026-12-09T01:00:00\",\"event\":\"" +
           event + "\"" + more + "}\n";
}
std::string word(std::int64_t t, const std::string& w) {
    return line(t, "word", ",\"word\":\"" + w + " \",\"mode\":\"volts\",\"level\":500");
}
std::string action(std::int64_t t, const std::string& c) {
    return line(t, "action", ",\"command\":\"" + c + "\"");
}
std::string question(std::int64_t t, const std::string& q) {
    return line(t, "question", ",\"text\":\"" + q + "\\r\\n\"");
}

const Event& nth(const std::vector<Event>& events, EventKind k, int n) {
    for (const Event& e : events)
        if (e.kind == k && n-- == 0)
            return e;
    throw std::out_of_range("no such event");
}

// A question's words are those of its answer window (the time chosen when
// it was asked, the last cycle included); a question asked in constant
// mode is answered until the next question or until constant mode ends,
// and words of a later constant session answer no earlier question.
TEST(NightEvents, AnswerWordsStopAtTheEndOfTheAnswerWindow) {
    std::string j = line(0, "start");
    j += question(1000, "Is anyone here?"); // "5 sec", as at start
    j += word(2000, "yes") + word(6500, "late") + word(7500, "none");
    j += action(9000, "click Option1(0)") + question(9000, "Who?"); // 3 sec
    j += word(11000, "Anna");
    j += action(20000, "click Option1(7)"); // constant, no question yet
    j += word(21000, "noise") + question(30000, "Still here?") + word(31000, "here");
    j += word(90000, "always") + action(95000, "click cancel") + word(96000, "after");
    const auto events = journalEvents(j, 0, {});
    EXPECT_THAT(nth(events, EventKind::Question, 0).words, ElementsAre("yes", "late"));
    EXPECT_THAT(nth(events, EventKind::Question, 1).words, ElementsAre("Anna"));
    EXPECT_THAT(nth(events, EventKind::Question, 2).words, ElementsAre("here", "always"));
}

TEST(NightEvents, AlarmLinesReadBackAsTheChecksWriteThem) {
    auto l = parseAlarmLine("12/9/2026 1:00:00 AM Voltage Above 2.5 Value = 2.6123046875 Vdc\r\n");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->alarm, "Voltage Above");
    EXPECT_EQ(l->limit, "2.5");
    EXPECT_DOUBLE_EQ(l->value, 2.6123046875);
    EXPECT_EQ(l->reading, "2.6123046875 Vdc");
    l = parseAlarmLine("12/9/2026 1:00:00 PM EMF(N) Below 3 Value =  1.5 mG (N)");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->alarm, "EMF(N) Below");
    EXPECT_FALSE(l->above);
    EXPECT_EQ(l->reading, "1.5 mG (N)");
    l = parseAlarmLine("12/9/2026 1:00:00 AM EMF Above  Value = 4 mG"); // an empty limit
    ASSERT_TRUE(l);
    EXPECT_EQ(l->alarm, "EMF Above");
    EXPECT_EQ(l->limit, "");
    EXPECT_FALSE(parseAlarmLine("Screen captured: x.jpg"));
}

// One limit tripping in every check for ten minutes, another in the same
// checks for a while, a pause, and the first again: three episodes, each
// with its start, end, trips and peak; the other events stay as they are.
TEST(NightEvents, AnAlarmTrippingEveryCycleIsOneEpisode) {
    std::vector<Event> events;
    auto alarm = [&](std::int64_t ms, const std::string& text) {
        Event e;
        e.ms = ms;
        e.kind = EventKind::Alarm;
        e.text = text;
        events.push_back(e);
    };
    const std::string t = "12/9/2026 1:00:00 AM ";
    for (int i = 0; i < 4600; ++i) {
        std::string lines =
            t + "Temperature Above 0 Value = " + std::to_string(70 + i % 3) + " F\r\n";
        if (i >= 100 && i < 200)
            lines += t + "Voltage Below 3 Value = 2." + std::to_string(9 - i % 7) + " Vdc\r\n";
        alarm(1000 + i * 130, lines);
    }
    Event q;
    q.ms = 5000;
    q.kind = EventKind::Question;
    events.push_back(q);
    alarm(700000, t + "Temperature Above 0 Value = 69 F\r\n");
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.ms < b.ms; });

    const auto episodes = alarmEpisodes(events);
    ASSERT_EQ(episodes.size(), 3u);
    EXPECT_EQ(episodes[0].alarm, "Temperature Above");
    EXPECT_EQ(episodes[0].startMs, 1000);
    EXPECT_EQ(episodes[0].endMs, 1000 + 4599 * 130);
    EXPECT_EQ(episodes[0].trips.size(), 4600u);
    EXPECT_EQ(episodes[0].peakReading, "72 F");
    EXPECT_EQ(episodeSummary(episodes[0]), "Temperature Above 0: 4600 trips, peak 72 F");
    EXPECT_EQ(episodes[1].alarm, "Voltage Below");
    EXPECT_EQ(episodes[1].trips.size(), 100u);
    EXPECT_EQ(episodes[1].peakReading, "2.3 Vdc"); // the lowest of a "below" alarm
    EXPECT_EQ(episodes[2].startMs, 700000);
    EXPECT_EQ(episodes[2].trips.size(), 1u);

    const auto shown = withAlarmEpisodes(events, episodes);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].kind, EventKind::Alarm);
    EXPECT_EQ(shown[0].durationMs, 4599 * 130);
    EXPECT_EQ(shown[1].kind, EventKind::Question);
    EXPECT_EQ(shown[2].text, "Voltage Below 3: 100 trips, peak 2.3 Vdc");
    EXPECT_THAT(alarmEpisodes({}), IsEmpty());
}

} // namespace
} // namespace kestle::review
