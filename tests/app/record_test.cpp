// SPDX-License-Identifier: GPL-3.0-or-later
// Which requests a session sends, read back from the trace that --record
// writes.
#include "app_run.h"
#include "device/trace_format.h"

#include <map>

namespace kestle::app {
namespace {

using test::AppFolder;

std::map<char, int> requests(const AppFolder& app, const std::string& script) {
    const auto trace = app.dir() / "session.trace";
    app.setIni("[NAG]\r\nNAGSCREEN=3\r\n");
    auto s = app.run(script, {"--record", trace.string()});
    EXPECT_EQ(s.rc, 0) << s.out;
    auto t = device::loadTrace(trace);
    EXPECT_TRUE(t.ok());
    std::map<char, int> n;
    if (t.ok())
        for (const auto& e : *t)
            ++n[e.request];
    return n;
}

const char* kRun = "click Option1(7)\nwait 2000\nclick cancel\nwait 600\n";

TEST(Requests, AFullCycleAsksForEverything) {
    AppFolder app;
    auto n = requests(app, kRun);
    ASSERT_GT(n['/'], 3);
    EXPECT_EQ(n['%'], n['/']);
    EXPECT_EQ(n['>'], 2 * n['/']);
    EXPECT_EQ(n['='], 120 * n['/']);
}

TEST(Requests, HighSpeedPhonemeWithoutEmfSendsNoTemperatureOrSensorRequest) {
    AppFolder app;
    auto n = requests(app, std::string("click HSPh\n") + kRun);
    EXPECT_GT(n['>'], 6);
    EXPECT_GT(n['='], 360);
    EXPECT_EQ(n.count('%'), 0u);
    EXPECT_EQ(n.count('/'), 0u);
}

TEST(Requests, EmfModeWithHighSpeedPhonemeAsksForTheTemperatureOnly) {
    AppFolder app;
    auto n = requests(app, std::string("click ITC3\nclick HSPh\n") + kRun);
    EXPECT_GT(n['%'], 3);
    EXPECT_EQ(n['='], 120 * n['%']);
    EXPECT_EQ(n.count('/'), 0u);
}

} // namespace
} // namespace kestle::app
