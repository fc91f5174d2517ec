// SPDX-License-Identifier: GPL-3.0-or-later
// The program itself, ended by a signal while a user list is a FIFO: the
// window thread used to wait in open() for a writer that never came, and
// SIGTERM could not end it.
#include "capture/kestle_process.h"

#include <sys/stat.h>

namespace kestle::app {
namespace {

using capture::test::KestleProcess;
using capture::test::waitFor;
using namespace std::chrono_literals;

TEST(TerminationRun, AFifoAsTheUserListBlocksNothingAndSigtermEndsTheSession) {
    KestleProcess p;
    const auto fifo = p.dir() / "list.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    p.start("click usr\ndump usword\nwait 600000\n",
            {"--capture", "none", "--user-list", fifo.string()});
    ASSERT_TRUE(waitFor([&] { return p.out().find("usword: 0") != std::string::npos; }, 60s))
        << p.out();
    EXPECT_NE(p.out().find("User List could not be read: Cannot read " + fifo.string() +
                           ": it is not a regular file"),
              std::string::npos)
        << p.out();
    p.sendSignal(SIGTERM);
    EXPECT_EQ(p.wait(30s), 0);
    std::ifstream in(p.dir() / "Kestle.ini", std::ios::binary);
    const std::string ini{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(ini.find("NAGSCREEN=2"), std::string::npos) << ini;
}

} // namespace
} // namespace kestle::app
