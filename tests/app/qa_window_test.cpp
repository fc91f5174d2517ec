// SPDX-License-Identifier: GPL-3.0-or-later
// A question's answer window with the simulated Kestle: the readings move
// while the window is open and stand still once it has closed.
#include "app_run.h"

#include <set>

namespace kestle::app {
namespace {

using test::AppFolder;

// The reading lines of one dump round.
const char* kReadings[] = {"inbuf", "CHA_DSP", "CHB_DSP", "EMFdisplay1", "emfC", "FREQA"};

std::string dumpRound() {
    std::string s;
    for (const char* r : kReadings)
        s += std::string("dump ") + r + "\n";
    return s;
}

// The dump lines of the output, grouped into rounds.
std::vector<std::string> rounds(const std::string& out) {
    std::vector<std::string> r;
    std::string cur;
    int n = 0;
    for (const auto& l : test::lines(out)) {
        bool reading = false;
        for (const char* name : kReadings)
            reading = reading || l.rfind(std::string(name) + ":", 0) == 0;
        if (!reading)
            continue;
        cur += l + "\n";
        if (++n % std::size(kReadings) == 0) {
            r.push_back(cur);
            cur.clear();
        }
    }
    return r;
}

TEST(AnswerWindow, ReadingsMoveOnlyWhileTheWindowIsOpen) {
    AppFolder app;
    app.setIni("[NAG]\r\nNAGSCREEN=3\r\n");
    std::string script = dumpRound() + "type question Is anyone here?\\r\\n\n";
    for (int i = 0; i < 4; ++i)
        script += "wait 1000\n" + dumpRound(); // at 1, 2, 3 and 4 s
    script += "wait 1500\n" + dumpRound();     // the window closed at 5 s
    for (int i = 0; i < 3; ++i)
        script += "wait 1000\n" + dumpRound();
    script += "dump speechtimer\n";
    auto s = app.run(script, {"--sim-seed", "11"});
    ASSERT_EQ(s.rc, 0) << s.out;
    auto r = rounds(s.out);
    ASSERT_EQ(r.size(), 9u) << s.out;
    const std::set<std::string> during(r.begin() + 1, r.begin() + 5);
    EXPECT_EQ(during.size(), 4u) << "the readings did not change during the window";
    EXPECT_NE(r[0], r[1]); // nothing was read before the question
    for (std::size_t i = 6; i < r.size(); ++i)
        EXPECT_EQ(r[i], r[5]) << "the readings changed after the window";
    EXPECT_TRUE(test::hasLine(s.out, "speechtimer: enabled=0 visible=0 interval=10"));
}

TEST(AnswerWindow, ReadingsStayPutUntilTheFirstQuestion) {
    AppFolder app;
    app.setIni("[NAG]\r\nNAGSCREEN=3\r\n");
    auto s = app.run(dumpRound() + "wait 3000\n" + dumpRound());
    auto r = rounds(s.out);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], r[1]);
}

} // namespace
} // namespace kestle::app
