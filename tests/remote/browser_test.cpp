// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program with a real browser: a headless Chromium, driven by
// browser.py, pairs with a headless session, sees the readings change and
// an alarm banner, and puts a mark that reaches the journal; a second
// browser without the code gets nothing. The screenshots it takes go to
// $KESTLE_SCREENSHOT_DIR when that is set.
#include "capture/kestle_process.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace kestle::remote {
namespace {

using capture::test::KestleProcess;
namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RemoteBrowser, APhonePairsFollowsTheReadingsAndAlarmsAndMarksAStrangerGetsNothing) {
    KestleProcess k;
    // An alarm that trips at once, and readings that run (a constant answer time).
    k.start("answer 0.1\nclick Alarm1\nclick alarm13\nclick Option1(7)\nwait 600000\nquit\n",
            {"--remote", "127.0.0.1:0"});
    std::string url;
    ASSERT_TRUE(kestle::test::waitFor(
        [&] {
            const std::string out = k.out();
            const auto at = out.find("REMOTE \"");
            const auto end = at == std::string::npos ? at : out.find("\"\n", at + 8);
            if (end != std::string::npos)
                url = out.substr(at + 8, end - at - 8);
            return !url.empty();
        },
        std::chrono::seconds(60)))
        << k.out();
    ASSERT_EQ(url.rfind("https://127.0.0.1:", 0), 0u) << url;

    const char* shots = std::getenv("KESTLE_SCREENSHOT_DIR");
    const fs::path out = shots ? fs::path(shots) : k.dir();
    const std::string cmd = "python3 '" + std::string(KESTLE_TEST_DATA) + "/remote/browser.py' '" +
                            url + "' '" + out.string() + "'";
    std::string seenText;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        seenText.append(buf, n);
    ASSERT_EQ(p ? ::pclose(p) : -1, 0) << seenText;
    const QJsonObject seen = QJsonDocument::fromJson(QByteArray::fromStdString(seenText)).object();
    ASSERT_FALSE(seen.contains("error")) << seenText;

    EXPECT_TRUE(seen["readings"].toString().contains("VDC")) << seenText;
    EXPECT_TRUE(seen["changed"].isString()) << "the readings changed on the page: " << seenText;
    EXPECT_TRUE(seen["alarm"].toString().contains("Voltage Above 0.1")) << seenText;
    EXPECT_TRUE(seen["day"].toBool());
    EXPECT_TRUE(seen["marked"].toString().startsWith("Marked at")) << seenText;
    EXPECT_EQ(seen["strangerStatus"].toInt(), 403) << seenText;
    EXPECT_EQ(seen["strangerPairStatus"].toInt(), 403) << "the code was spent: " << seenText;
    const QJsonObject live = seen["strangerLive"].toObject();
    EXPECT_TRUE(live["closed"].toBool()) << seenText;
    EXPECT_EQ(live["messages"].toInt(-1), 0) << seenText;
    EXPECT_TRUE(fs::file_size(out / "night.png") > 10'000);

    // The session ends as a closed window does; the mark is in its journal
    // under the name the browser paired with.
    k.sendSignal(SIGTERM);
    ASSERT_EQ(k.wait(), 0) << k.out();
    ASSERT_EQ(k.bags().size(), 1u);
    const std::string journal = readFile(k.bags()[0] / "data" / "journal.jsonl");
    EXPECT_NE(journal.find(R"("event":"mark","note":"from the phone","by":"X11; Linux x86_64")"),
              std::string::npos)
        << journal;
}

} // namespace
} // namespace kestle::remote
