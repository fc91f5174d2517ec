// SPDX-License-Identifier: GPL-3.0-or-later
// The review window listening to a night: its spectrogram strip placed on
// the plots' time axis, the ranked moments, a zoom filled in with the
// detail, playback at another speed noted in the ledger and shown as
// heard, a moment kept, a moment bag exported, the report's listening
// page; and a window closed while it analyses.
#include "evidence/bagit.h"
#include "fakes/temp_folder.h"
#include "review/report.h"
#include "review/spoken_night.h"
#include "ui/listening_panel.h"
#include "ui/readings_chart.h"
#include "ui/review_window.h"

#include <gmock/gmock.h>

#include <QTest>
#include <cstdio>

namespace kestle::ui {
namespace {

namespace fs = std::filesystem;
using capture::test::KestleProcess;
using ::testing::HasSubstr;

std::string pdfText(const fs::path& pdf, const fs::path& scratch) {
    const fs::path txt = scratch / "report.txt";
    if (std::system(("pdftotext '" + pdf.string() + "' '" + txt.string() + "'").c_str()) != 0)
        return {};
    std::ifstream in(txt);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ListeningWindow, DrawsHearsMarksAndExportsTheMomentsOfANight) {
    ::setenv("KESTLE_AUDIO_SINK", "fakesink", 1);
    kestle::test::TempFolder scratch;
    ::setenv("XDG_CACHE_HOME", (scratch.path() / "cache").c_str(), 1);
    KestleProcess k;
    const review::test::SpokenNight n = review::test::recordSpokenNight(k);
    {
        ReviewWindow w(n.bag);
        w.resize(1200, 900);
        w.show();
        ListeningPanel& l = w.listening();
        ASSERT_TRUE(QTest::qWaitFor([&] { return l.analysed() && l.ledger(); }, 60000));
        SpectrogramStrips& s = *l.strips();
        ASSERT_EQ(s.tracks().size(), 1u);
        const auto& track = s.tracks()[0];
        ASSERT_TRUE(track.analysis) << track.failure;
        EXPECT_EQ(track.file, n.recording);

        // The strip lies on the plots' axis: the recording's first sample
        // under the same time as on the plots.
        const std::int64_t first = track.fromMs;
        EXPECT_NEAR(double(s.msAt(ReadingsChart::kPlotLeft)), double(w.chart().viewFrom()), 1000);
        EXPECT_NEAR(*s.hzAt(1), 8000, 200);
        EXPECT_NEAR(*s.hzAt(SpectrogramStrips::kStripHeight - 1), 0, 200);

        // The moments, best first: the stranger's voice.
        ASSERT_FALSE(l.moments().empty());
        const review::Moment& best = l.moments().front();
        EXPECT_EQ(best.kind, review::MomentKind::Voice);
        EXPECT_NEAR(double(best.offsetMs) / 1000, n.stranger.from, 0.3);

        // Full zoom: a second spans at least 200 pixels, and the detail fills in.
        w.chart().setView(first + 13000, first + 13000 + ReadingsChart::kMinSpanMs);
        const double pxPerSecond =
            (s.width() - ReadingsChart::kPlotLeft - ReadingsChart::kPlotRightMargin) * 1000.0 /
            double(w.chart().viewTo() - w.chart().viewFrom());
        EXPECT_GE(pxPerSecond, 200);
        EXPECT_TRUE(QTest::qWaitFor([&] { return s.showsDetail(0); }, 20000));
        QTest::mouseMove(
            &s, QPoint(ReadingsChart::kPlotLeft + 50, SpectrogramStrips::kStripHeight / 2));
        EXPECT_THAT(s.pointerText().toStdString(), HasSubstr("kHz at"));

        // Played at 2x from a second before it, until the player ends: heard.
        l.setSpeed(2);
        l.play(0);
        ASSERT_TRUE(w.player().active()) << w.player().error();
        EXPECT_EQ(w.player().speed(), 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !w.player().active(); }, 20000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !s.tracks()[0].heard.empty(); }, 5000));
        ASSERT_TRUE(l.ledger());
        ASSERT_FALSE(l.ledger()->entries().empty());
        const review::LedgerEntry& played = l.ledger()->entries().back();
        EXPECT_EQ(played.event, "played");
        EXPECT_EQ(played.speed, 2);
        EXPECT_LE(played.fromMs, best.offsetMs);
        EXPECT_GT(l.heardShare(), 0);

        l.mark(0, review::kVerdictKeep, "a man's voice, not ours");
        const fs::path moment = scratch.path() / "moment";
        std::optional<Status> exported;
        l.onExported = [&](const Status& st) { exported = st; };
        l.exportMoment(0, moment);
        ASSERT_TRUE(QTest::qWaitFor([&] { return exported.has_value(); }, 20000));
        EXPECT_TRUE(*exported) << exported->error();
        EXPECT_TRUE(evidence::verifyBag(moment).empty());
    }
    // The report's listening page: the share reviewed and the kept moment.
    const fs::path pdf = scratch.path() / "report.pdf";
    auto m = review::loadSession(n.bag);
    ASSERT_TRUE(m) << m.error();
    ASSERT_TRUE(review::writeReport(*m, pdf));
    const std::string text = pdfText(pdf, scratch.path());
    EXPECT_THAT(text, HasSubstr("Listening: moments kept"));
    EXPECT_THAT(text, HasSubstr("a man's voice, not ours"));
    EXPECT_THAT(text, HasSubstr("Share of the night reviewed"));

    // A window closed while it analyses (nothing cached) ends at once and
    // leaves nothing running.
    fs::remove_all(scratch.path() / "cache");
    {
        ReviewWindow w(n.bag);
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.model() != nullptr; }, 20000));
        EXPECT_FALSE(w.listening().analysed());
    }
}

} // namespace
} // namespace kestle::ui
