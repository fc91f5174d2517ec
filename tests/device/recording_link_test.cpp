// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/link_factory.h"
#include "device/recording_link.h"
#include "device/replay_trace.h"
#include "device/sim_kestle.h"
#include "link_probe.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace kestle::device {
namespace {

using test::LinkProbe;

const std::string kRequests = ">%====/>%=/>>//==%";

// Sends each request in turn and returns the answers received.
std::vector<Answer> play(HidLink& link, VirtualScheduler& sched, const std::string& requests) {
    LinkProbe probe(link);
    link.connect(probe.events());
    sched.run();
    for (char r : requests) {
        EXPECT_TRUE(probe.send(r));
        sched.run();
    }
    link.disconnect();
    return probe.answers;
}

TEST(RecordingLink, RecordedSimSessionReplaysTheSameAnswers) {
    VirtualScheduler sched;
    std::ostringstream sink;
    RecordingLink rec(std::make_unique<SimKestle>(sched, 11), sink);
    auto live = play(rec, sched, kRequests);
    ASSERT_EQ(live.size(), kRequests.size());

    auto trace = parseTrace(sink.str());
    ASSERT_TRUE(trace) << trace.error();
    ASSERT_EQ(trace->size(), kRequests.size());
    for (std::size_t i = 0; i < kRequests.size(); ++i) {
        EXPECT_EQ((*trace)[i].request, kRequests[i]);
        EXPECT_EQ((*trace)[i].answer, live[i]);
    }
    EXPECT_EQ(sink.str().substr(0, 26), formatTraceLine(trace->front()) + "\n");

    VirtualScheduler sched2;
    ReplayLink replay(sched2, *trace);
    EXPECT_EQ(play(replay, sched2, kRequests), live);
}

TEST(RecordingLink, FailedWritesAndUnansweredReadsAddNoLine) {
    VirtualScheduler sched;
    std::ostringstream sink;
    auto sim = std::make_unique<SimKestle>(sched, 2);
    RecordingLink rec(std::move(sim), sink);
    LinkProbe probe(rec);
    rec.connect(probe.events());
    sched.run();
    Report in;
    EXPECT_FALSE(rec.read(1, in));
    ASSERT_NE(rec.pluggable(), nullptr);
    rec.pluggable()->unplug();
    sched.run();
    EXPECT_FALSE(probe.send('>'));
    rec.pluggable()->plug();
    sched.run();
    ASSERT_TRUE(probe.send('%'));
    sched.run();
    EXPECT_EQ(probe.log.back(), "read 1");
    auto trace = parseTrace(sink.str());
    ASSERT_TRUE(trace);
    ASSERT_EQ(trace->size(), 1u);
    EXPECT_EQ(trace->front().request, '%');
    EXPECT_TRUE(rec.status());
}

TEST(LinkFactory, RecordsToAFileThatReplaysTheSameAnswers) {
    auto dir = std::filesystem::temp_directory_path() / "kestle_record_test";
    std::filesystem::create_directories(dir);
    auto path = (dir / "session.trace").string();

    VirtualScheduler sched;
    auto rec = makeHidLink("sim", sched, 4, path);
    ASSERT_TRUE(rec) << rec.error();
    ASSERT_NE(asPluggable(**rec), nullptr);
    auto live = play(**rec, sched, kRequests);
    rec->reset(); // closes the file

    VirtualScheduler sched2;
    auto replay = makeHidLink("replay:" + path, sched2, 0, "");
    ASSERT_TRUE(replay) << replay.error();
    EXPECT_NE(asPluggable(**replay), nullptr);
    EXPECT_EQ(play(**replay, sched2, kRequests), live);
    std::filesystem::remove_all(dir);
}

TEST(LinkFactory, ReportsBadOptionsAndPaths) {
    VirtualScheduler sched;
    auto unknown = makeHidLink("usb", sched, 0, "");
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().rfind("unknown device \"usb\"", 0), 0u);
    EXPECT_FALSE(makeHidLink("replay:", sched, 0, ""));
    EXPECT_FALSE(makeHidLink("replay:/nonexistent/x.trace", sched, 0, ""));

    auto unwritable = makeHidLink("sim", sched, 0, "/nonexistent/dir/x.trace");
    ASSERT_FALSE(unwritable);
    EXPECT_NE(unwritable.error().find("/nonexistent/dir/x.trace"), std::string::npos);
}

} // namespace
} // namespace kestle::device
