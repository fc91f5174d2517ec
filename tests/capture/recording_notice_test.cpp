// SPDX-License-Identifier: GPL-3.0-or-later
// The GStreamer controls in this process, with the test pattern and tone:
// each tells when a recording's file is made (under the name it really
// got) and when it is finished, with why when it was cut short: a full
// disk, or the control ending while it records.
#include "capture/gst_capture.h"
#include "fakes/temp_folder.h"
#include "fakes/wait_for.h"
#include "media_check.h"
#include "support/virtual_scheduler.h"

#include <gmock/gmock.h>

#include <csignal>
#include <sys/resource.h>

namespace kestle::capture::test {
namespace {

using namespace std::chrono_literals;
using kestle::test::TempFolder;
using kestle::test::waitFor;
using ::testing::StartsWith;
using Source = CaptureError::Source;

struct Told {
    Source source;
    bool finished;
    std::string file, problem;
    bool operator==(const Told&) const = default;
    friend std::ostream& operator<<(std::ostream& o, const Told& t) {
        return o << (t.finished ? "finished " : "made ") << t.file << " [" << t.problem << "]";
    }
};

class Notices {
  public:
    RecordingHandler handler() {
        return [this](const RecordingNotice& n) {
            told.push_back({n.source, n.finished, n.file, n.problem});
        };
    }
    // Runs what the controls posted until `count` notices came.
    bool await(VirtualScheduler& s, std::size_t count) {
        return waitFor(
            [&] {
                s.advance(0);
                return told.size() >= count;
            },
            20s);
    }
    std::vector<Told> told;
};

std::uintmax_t sizeOf(const std::string& f) {
    std::error_code ec;
    const auto n = fs::file_size(f, ec);
    return ec ? 0 : n;
}

// Every file written from here on hits a full disk at `bytes`.
class FullDiskAt {
  public:
    explicit FullDiskAt(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        old_ = std::signal(SIGXFSZ, SIG_IGN); // a full disk, not the end of the test
        const rlimit l{bytes, before_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FullDiskAt() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, old_);
    }

  private:
    rlimit before_{};
    void (*old_)(int) = nullptr;
};

TEST(RecordingNotice, TheVideoControlTellsEachFileByItsRealNameAndHowItEnded) {
    TempFolder dir;
    VirtualScheduler sched;
    Notices n;
    const std::string asked = (dir.path() / "night.avi").string();
    const std::string got = (dir.path() / "night (2).avi").string();
    const std::string last = (dir.path() / "late.avi").string();
    std::ofstream(asked) << "an earlier night";
    {
        auto video = makeGstVideo(makeTestCatalog(), sched);
        video->setRecordingHandler(n.handler());
        video->setShowDateTime(true); // the date ticks on the worker to the end
        video->setCaptureToFile(true);
        video->setCaptureFileName(asked);
        ASSERT_EQ(video->start(), kStarted);
        EXPECT_EQ(n.told, (std::vector<Told>{{Source::Video, false, got, ""}}));
        ASSERT_TRUE(waitFor([&] { return sizeOf(got) > 100000; }, 20s));
        video->stop();
        ASSERT_TRUE(n.await(sched, 2));
        EXPECT_EQ(n.told.back(), (Told{Source::Video, true, got, ""}));

        // Still recording when the control goes: finished, and told so.
        video->setCaptureFileName(last);
        ASSERT_EQ(video->start(), kStarted);
        ASSERT_TRUE(waitFor([&] { return sizeOf(last) > 100000; }, 20s));
    }
    ASSERT_EQ(n.told.size(), 4u);
    EXPECT_EQ(n.told[2], (Told{Source::Video, false, last, ""}));
    EXPECT_EQ(n.told[3],
              (Told{Source::Video, true, last, "The program ended during the recording"}));
    for (const std::string& f : {got, last}) {
        const Avi a = readAvi(f);
        EXPECT_TRUE(a.indexed) << f;
        EXPECT_GT(a.frames, 0) << f;
        EXPECT_EQ(a.headerFrames, std::uint32_t(a.frames)) << f;
    }
    EXPECT_EQ(fileBytes(asked), "an earlier night");
}

TEST(RecordingNotice, TheAudioControlTellsANewNameAFullDiskAndItsOwnEnd) {
    TempFolder dir;
    VirtualScheduler sched;
    Notices n;
    const std::string first = (dir.path() / "first.wav").string();
    const std::string second = (dir.path() / "second.wav").string();
    const std::string third = (dir.path() / "third.wav").string();
    {
        auto audio = makeGstAudio(makeTestCatalog(), sched, 0);
        audio->setRecordingHandler(n.handler());
        audio->setCaptureFileName(first);
        ASSERT_EQ(audio->start(), kStarted);
        ASSERT_TRUE(waitFor([&] { return sizeOf(first) > 20000; }, 20s));
        // A new name goes on in a new file: the first ends as asked.
        audio->setCaptureFileName(second);
        ASSERT_EQ(audio->start(), kStarted);
        ASSERT_TRUE(n.await(sched, 3));
        EXPECT_EQ(n.told, (std::vector<Told>{{Source::Audio, false, first, ""},
                                             {Source::Audio, false, second, ""},
                                             {Source::Audio, true, first, ""}}));
        ASSERT_TRUE(waitFor([&] { return sizeOf(second) > 20000; }, 20s));
        {
            FullDiskAt full(sizeOf(second) + 20000);
            ASSERT_TRUE(n.await(sched, 4));
        }
        EXPECT_EQ(n.told[3].file, second);
        EXPECT_TRUE(n.told[3].finished);
        EXPECT_THAT(n.told[3].problem, StartsWith("Recording stopped: "));
        EXPECT_TRUE(readWav(second).exact());

        audio->setCaptureFileName(third);
        ASSERT_EQ(audio->start(), kStarted);
        ASSERT_TRUE(waitFor([&] { return sizeOf(third) > 20000; }, 20s));
    }
    ASSERT_EQ(n.told.size(), 6u);
    EXPECT_EQ(n.told[4], (Told{Source::Audio, false, third, ""}));
    EXPECT_EQ(n.told[5],
              (Told{Source::Audio, true, third, "The program ended during the recording"}));
    EXPECT_TRUE(readWav(third).exact());
}

} // namespace
} // namespace kestle::capture::test
