// The review window on a night recorded by the program, and the live chart
// on a running session: what they show, and how they answer the keys.
// The rig first: the simulated Kestle has a member named as a Qt keyword.
#include "window_rig.h"

#include "ecm/qa_session.h"
#include "records/records.h"
#include "review/recorded_night.h"
#include "ui/live_chart.h"
#include "ui/readings_chart.h"
#include "ui/review_window.h"

#include <gmock/gmock.h>

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

namespace kestle::ui {
namespace {

namespace fs = std::filesystem;
using capture::test::KestleProcess;
using review::EventKind;
using ::testing::HasSubstr;

int firstOf(const ReadingsChart& c, EventKind k) {
    for (std::size_t i = 0; i < c.markers().size(); ++i)
        if (c.markers()[i].kind == k)
            return int(i);
    return -1;
}

TEST(ReviewWindow, ShowsTheNightAndWhatEachMarkerHolds) {
    ::setenv("KESTLE_AUDIO_SINK", "fakesink", 1); // no sound card here
    KestleProcess k;
    const fs::path bag = review::test::recordNight(k);
    {
        ReviewWindow w(bag);
        w.show();
        EXPECT_EQ(w.windowTitle().toStdString(), "Session Review - " + bag.filename().string());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.model() && w.verified(); }, 20000));
        EXPECT_EQ(w.warning(), "");
        ReadingsChart& c = w.chart();
        const auto& m = *w.model();
        EXPECT_EQ(c.viewFrom(), m.startMs);
        EXPECT_EQ(c.viewTo(), std::max(m.endMs, m.startMs + ReadingsChart::kMinSpanMs));

        // A question shows its answer words; a screen capture its picture.
        const int question = firstOf(c, EventKind::Question);
        ASSERT_GE(question, 0);
        w.choose(question);
        const auto& q = c.markers()[std::size_t(question)];
        EXPECT_THAT(w.details().toStdString(), HasSubstr(q.text));
        EXPECT_THAT(w.details().toStdString(), HasSubstr("Answer words: " + q.words.front()));
        const int screen = firstOf(c, EventKind::Screen);
        ASSERT_GE(screen, 0);
        w.choose(screen);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.showsPicture(); }, 10000));
        w.choose(firstOf(c, EventKind::Alarm));
        EXPECT_FALSE(w.showsPicture());

        // A recording plays from its start (on the fake sink, as the
        // environment asks) to its end, and the status line says so.
        w.choose(firstOf(c, EventKind::Recording));
        w.playChosen();
        ASSERT_TRUE(w.player().active()) << w.player().error();
        EXPECT_THAT(w.statusBar()->currentMessage().toStdString(), HasSubstr("Playing "));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.player().active(); }, 10000));
        EXPECT_EQ(w.statusBar()->currentMessage(), "The recording has ended");

        // Keys: + halves the span, arrows pan inside the night, Home shows it all.
        c.setFocus();
        const std::int64_t whole = c.viewTo() - c.viewFrom();
        QTest::keyClick(&c, Qt::Key_Plus);
        EXPECT_EQ(c.viewTo() - c.viewFrom(), std::max<std::int64_t>(whole / 2, ReadingsChart::kMinSpanMs));
        QTest::keyClick(&c, Qt::Key_Right);
        QTest::keyClick(&c, Qt::Key_Right);
        QTest::keyClick(&c, Qt::Key_Right);
        EXPECT_EQ(c.viewTo(), std::max(m.endMs, m.startMs + ReadingsChart::kMinSpanMs));
        QTest::keyClick(&c, Qt::Key_Minus);
        QTest::keyClick(&c, Qt::Key_Minus);
        QTest::keyClick(&c, Qt::Key_Left);
        EXPECT_EQ(c.viewFrom(), m.startMs);
        QTest::keyClick(&c, Qt::Key_Plus);
        QTest::keyClick(&c, Qt::Key_Home);
        EXPECT_EQ(c.viewTo() - c.viewFrom(), whole);

        // The report, written from the window.
        std::optional<Status> written;
        w.onReportWritten = [&](const Status& s) { written = s; };
        w.writeReport(k.dir() / "from-window.pdf");
        ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 20000));
        EXPECT_TRUE(*written) << written->error();
        EXPECT_GT(fs::file_size(k.dir() / "from-window.pdf"), 1000u);
    }

    // A bag changed since it was sealed opens with a warning naming the file.
    std::ofstream(bag / "data/logs/CV_data_file.csv", std::ios::app) << "x";
    ReviewWindow changed(bag);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.model() && changed.verified(); }, 20000));
    EXPECT_THAT(changed.warning().toStdString(), HasSubstr("failed verification"));
    EXPECT_THAT(changed.warning().toStdString(), HasSubstr("data/logs/CV_data_file.csv"));
}

using LiveChartTest = test::MainViewTest;

TEST_F(LiveChartTest, FollowsTheReadingsOnlyWhileShown) {
    LiveChart live(*win, view.get());
    EXPECT_FALSE(live.listening());
    live.show();
    ASSERT_TRUE(live.listening());
    view->show();
    win->main().Option1[7]->click(); // constant
    auto* box = view->findChild<QPlainTextEdit*>("question");
    ASSERT_NE(box, nullptr);
    box->setFocus();
    QTest::keyClicks(box, "Who is there");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return live.chart().readingCount() > 0; }, 20000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return firstOf(live.chart(), EventKind::Question) >= 0; }, 10000));
    win->publish(kestle::events::RecordingStarted{kestle::events::Media::Audio, "/d/7 Alarm_Audio.wav"});
    const int recording = firstOf(live.chart(), EventKind::Recording);
    ASSERT_GE(recording, 0);
    EXPECT_EQ(live.chart().markers()[std::size_t(recording)].text, "7 Alarm_Audio.wav (audio)");
    // The view follows the newest reading over five minutes, at most half a
    // minute ahead of it.
    live.chart().refresh();
    EXPECT_EQ(live.chart().viewTo() - live.chart().viewFrom(), 5 * 60000);
    EXPECT_LE(live.chart().viewTo(), liveNowMs() + 30000);
    EXPECT_GT(live.chart().viewTo(), liveNowMs() - 5000);

    // Closed, it is told nothing: the hooks are as they were.
    live.hide();
    EXPECT_FALSE(live.listening());
    EXPECT_FALSE(win->records().onReading);
    const std::size_t readings = live.chart().readingCount();
    const std::size_t markers = live.chart().markers().size();
    const std::string log = (dir / "data" / "CV_data_file.csv").string();
    const auto rows = [&] { return fs::exists(log) ? fs::file_size(log) : 0; };
    const auto before = rows();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() > before + 500; }, 20000));
    win->publish(kestle::events::Question{"Closed?"});
    QCoreApplication::processEvents();
    EXPECT_EQ(live.chart().readingCount(), readings);
    EXPECT_EQ(live.chart().markers().size(), markers);
}

} // namespace
} // namespace kestle::ui
