// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A short night recorded by the program itself, headless in real time on a
// replayed trace: volts above 2.5 trip the alarm (which records sound),
// two questions are answered, a mark is made, the display is captured,
// then exit. Its bag
// is the one folder in Sessions.
#include "capture/kestle_process.h"

#include <filesystem>
#include <vector>

namespace kestle::review::test {

inline std::filesystem::path recordNight(capture::test::KestleProcess& k) {
    namespace fs = std::filesystem;
    k.start("click av8\nclick vo2\nanswer 2.5\nclick Alarm1\nclick Option1(7)\n"
            "type question Is anyone here?\\r\\n\nwait 2000\nmark Cold spot, \"stairs\"\n"
            "type question Can you give us a sign?\\r\\n\nwait 1500\n"
            "click Save_Main_display\nwait 300\nclick cancel\nwait 300\nquit\n",
            {"--device",
             "replay:" +
                 (fs::path(KESTLE_TEST_DATA) / "scenarios/records_capture_menu.trace").string()});
    EXPECT_EQ(k.wait(), 0) << k.out();
    std::vector<fs::path> bags;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(k.data() / "Sessions", ec))
        bags.push_back(e.path());
    EXPECT_EQ(bags.size(), 1u);
    return bags.empty() ? fs::path() : bags[0];
}

} // namespace kestle::review::test
