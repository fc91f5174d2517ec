// SPDX-License-Identifier: GPL-3.0-or-later
// What the program says at start instead of failing silently or aborting.
#include "app_run.h"

#include <gmock/gmock.h>

#include <cstdio>

namespace kestle::app {
namespace {

using test::AppFolder;
using ::testing::HasSubstr;

TEST(StartChecks, WithoutADisplayTheWindowSaysToUseHeadlessAndEndsWithTwo) {
    const std::string cmd = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") +
                            KESTLE_BINARY + " --device sim --capture none 2>&1; echo status=$?";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    EXPECT_THAT(out, HasSubstr("Run with --headless"));
    EXPECT_THAT(out, HasSubstr("status=2"));
}

TEST(StartChecks, TheApplicationFolderIsMadeOrWhyNotIsSaidOnce) {
    AppFolder app;
    const auto nested = app.dir() / "new" / "folder";
    const test::Session made = app.run("quit\n", {"--app-dir", nested.string()});
    EXPECT_EQ(made.rc, 0);
    EXPECT_TRUE(std::filesystem::exists(nested / "Kestle.ini"));
    EXPECT_THAT(made.out, ::testing::Not(HasSubstr("STATUS \"The settings")));

    const test::Session denied = app.run("quit\n", {"--app-dir", "/sys/kestle"});
    EXPECT_THAT(denied.out, HasSubstr("STATUS \"The settings could not be read; the program goes "
                                      "on with its default settings: "));
    EXPECT_EQ(denied.out.find("The settings"), denied.out.rfind("The settings"));
}

} // namespace
} // namespace kestle::app
