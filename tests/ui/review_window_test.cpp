// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <QChartView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QValueAxis>

#include <set>

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
        // The script's mark is on the timeline and says who made it.
        const int mark = firstOf(c, EventKind::Mark);
        ASSERT_GE(mark, 0);
        w.choose(mark);
        EXPECT_THAT(w.details().toStdString(), HasSubstr("Session mark"));
        EXPECT_THAT(w.details().toStdString(), HasSubstr("Made by: script"));

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
        EXPECT_EQ(c.viewTo() - c.viewFrom(),
                  std::max<std::int64_t>(whole / 2, ReadingsChart::kMinSpanMs));
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

        // The report, written from the window over an older one: under its
        // name there is the old report or the whole new one, never a part.
        const fs::path pdf = k.dir() / "from-window.pdf";
        std::ofstream(pdf) << "an older report";
        std::optional<Status> written;
        w.onReportWritten = [&](const Status& s) { written = s; };
        w.writeReport(pdf);
        std::set<std::uintmax_t> sizes;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                std::error_code ec;
                sizes.insert(fs::file_size(pdf, ec));
                return written.has_value();
            },
            20000));
        EXPECT_TRUE(*written) << written->error();
        sizes.insert(fs::file_size(pdf));
        EXPECT_EQ(sizes, (std::set<std::uintmax_t>{15, fs::file_size(pdf)}));
        EXPECT_GT(fs::file_size(pdf), 1000u);
        for (const auto& e : fs::directory_iterator(k.dir()))
            EXPECT_NE(e.path().extension(), ".partial") << e.path();
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
    win->publish(
        kestle::events::RecordingStarted{kestle::events::Media::Audio, "/d/7 Alarm_Audio.wav"});
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

TEST_F(LiveChartTest, TheKeyMOrTheButtonMarksTheSessionWhileTheReadingsGoOn) {
    LiveChart live(*win, view.get());
    live.show();
    view->resize(1366, 700);
    view->show();
    win->main().Option1[7]->click(); // constant
    ASSERT_TRUE(QTest::qWaitFor([&] { return live.chart().readingCount() > 0; }, 20000));

    // M typed into the question box is a letter, not a mark.
    auto* question = view->findChild<QPlainTextEdit*>("question");
    ASSERT_NE(question, nullptr);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    question->setFocus();
    QTest::keyClick(question, Qt::Key_M);
    settle();
    EXPECT_FALSE(view->markBox().isVisible());
    EXPECT_TRUE(win->main().question->text().ends_with("m")) << win->main().question->text();

    // The key M elsewhere opens the box, which stops nothing.
    view->markButton().setFocus();
    view->formView().setFocus();
    QTest::keyClick(view.get(), Qt::Key_M);
    ASSERT_TRUE(view->markBox().isVisible());
    EXPECT_FALSE(view->markBox().isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const std::size_t open = live.chart().readingCount();
    QTest::keyClicks(&view->markBox().note(), "Footsteps");
    ASSERT_TRUE(QTest::qWaitFor([&] { return live.chart().readingCount() > open + 2; }, 20000));
    EXPECT_TRUE(view->markBox().isVisible());
    QTest::keyClick(&view->markBox().note(), Qt::Key_Return);
    EXPECT_FALSE(view->markBox().isVisible());
    live.chart().refresh();
    const int m = firstOf(live.chart(), EventKind::Mark);
    ASSERT_GE(m, 0);
    EXPECT_EQ(live.chart().markers()[std::size_t(m)].text, "Mark: Footsteps");
    EXPECT_EQ(live.chart().markers()[std::size_t(m)].detail, "window");
    EXPECT_THAT(out.str(), testing::HasSubstr("MARK \"Footsteps\" \"window\""));

    // The button: a mark without a note; it covers none of the form's controls.
    QTest::mouseClick(&view->markButton(), Qt::LeftButton);
    ASSERT_TRUE(view->markBox().isVisible());
    QTest::mouseClick(&view->markBox().markButton(), Qt::LeftButton);
    EXPECT_THAT(out.str(), testing::HasSubstr("MARK \"\" \"window\""));
    for (QSize size : {QSize(1366, 768), QSize(1920, 1080)}) {
        view->resize(size);
        settle();
        const QRect button(view->markButton().mapTo(view.get(), QPoint(0, 0)),
                           view->markButton().size());
        for (QWidget* w : view->formView().findChildren<QWidget*>()) {
            if (!w->isVisible())
                continue;
            const QRect r(w->mapTo(view.get(), QPoint(0, 0)), w->size());
            EXPECT_FALSE(r.intersects(button)) << w->objectName().toStdString();
        }
    }
}

} // namespace
} // namespace kestle::ui

namespace kestle::ui {
namespace {

// A night with a time without readings, looked at whole and zoomed in: the
// lines break where no readings came, stay inside their plots after a zoom,
// and every plot's scale says its unit; the first and last labels are whole.
TEST(ReadingsChartLook, LinesBreakAtGapsStayInTheirPlotsAndScalesShowUnits) {
    const std::int64_t t0 = review::localMs({2026, 12, 9, 1, 0, 0});
    std::array<std::vector<review::Point>, review::kSeriesCount> series;
    for (auto& s : series)
        for (std::int64_t ms = 0; ms <= 260000; ms += 500)
            if (ms <= 60000 || ms >= 200000)
                s.push_back({t0 + ms, double(ms) / 1000}); // a slope: it leaves a zoom's edges
    ReadingsChart c;
    c.resize(900, 700);
    c.setSession(series, {}, t0, t0 + 260000);
    c.show();
    QCoreApplication::processEvents();
    for (int i = 0; i < review::kSeriesCount; ++i) {
        const auto runs = c.drawnRuns(i);
        ASSERT_EQ(runs.size(), 2u) << i;
        for (const auto& run : runs) {
            const bool before = run.front().x() <= runs[0].back().x();
            for (const QPointF& p : run)
                EXPECT_EQ(p.y() <= 60, before) << "a line across the gap, series " << i;
        }
    }
    // Zoomed into the first minute: the lines that leave the view at its
    // edges stay within the scale, and are drawn inside the plot.
    c.setView(t0 + 20000, t0 + 25000);
    QCoreApplication::processEvents();
    for (int i = 0; i < review::kSeriesCount; ++i) {
        const auto [lo, hi] = c.scale(i);
        EXPECT_LE(lo, 20.0) << i;
        EXPECT_GE(hi, 25.0) << i;
    }
    const QImage shot = c.grab().toImage();
    const QRect area = c.plotArea(0);
    const QColor line(0x1F5FBF);
    int touching = 0, drawn = 0;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const bool ink = shot.pixelColor(x, y) == line;
            drawn += ink;
            touching += ink && (y <= area.top() + 1 || y >= area.bottom() - 1);
        }
    EXPECT_GT(drawn, 100);
    EXPECT_EQ(touching, 0) << "the line runs off its plot";
    // Each scale names its unit; its top and bottom labels and the last time
    // label have room.
    const auto views = c.findChildren<QChartView*>();
    ASSERT_EQ(views.size(), std::size_t(review::kSeriesCount));
    for (int i = 0; i < review::kSeriesCount; ++i) {
        auto* y = qobject_cast<QValueAxis*>(views[i]->chart()->axes(Qt::Vertical).first());
        ASSERT_TRUE(y);
        EXPECT_TRUE(y->labelFormat().endsWith(QString(" ") + review::seriesStyle(i).unit));
        const QFontMetrics fm(y->labelsFont());
        const QRectF plot = views[i]->chart()->plotArea();
        EXPECT_GE(plot.top(), fm.height() / 2.0) << i;
        EXPECT_GE(views[i]->height() - plot.bottom(), fm.height() / 2.0) << i;
        EXPECT_GE(views[i]->width() - plot.right(), fm.horizontalAdvance("00:00:00") / 2.0) << i;
    }
}

// An alarm tripping in every check of the night shows as one marker (a band
// over its span) and one row of the list, which opens to its trips.
TEST(ReviewWindowLook, AnAlarmTrippingEveryCycleIsOneMarkerAndOneRow) {
    KestleProcess k;
    const fs::path bag = review::test::recordNight(k);
    ReviewWindow w(bag);
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.model() != nullptr; }, 20000));
    int alarmLines = 0;
    for (const auto& e : w.model()->events)
        if (e.kind == EventKind::Alarm)
            ++alarmLines;
    std::vector<const review::Event*> alarms;
    for (const auto& e : w.chart().markers())
        if (e.kind == EventKind::Alarm)
            alarms.push_back(&e);
    ASSERT_GE(alarmLines, 3);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_GT(alarms[0]->durationMs, 0);
    EXPECT_THAT(alarms[0]->text,
                HasSubstr("Voltage Above 2.5: " + std::to_string(alarmLines) + " trips, peak "));
    auto* list = w.findChild<QTreeWidget*>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->topLevelItemCount(), int(w.chart().markers().size()));
    const int row = firstOf(w.chart(), EventKind::Alarm);
    QTreeWidgetItem* item = list->topLevelItem(row);
    item->setExpanded(true);
    EXPECT_EQ(item->childCount(), alarmLines);
    list->setCurrentItem(item->child(1)); // a trip chooses its episode
    EXPECT_THAT(w.details().toStdString(), HasSubstr("each trip is in the list"));
}

} // namespace
} // namespace kestle::ui
