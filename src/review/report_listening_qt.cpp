// SPDX-License-Identifier: GPL-3.0-or-later
// The report's listening page: Qt glue.
#include "review/report_listening_qt.h"

#include "review/bag_sound.h"
#include "review/listening_commands.h"
#include "review/moments.h"
#include "review/review_ledger.h"
#include "review/sound_analysis.h"
#include "review/sound_cache.h"
#include "review/spectrogram_image_qt.h"
#include "review/time_text.h"

#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <set>

namespace kestle::review {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The recording's noise floor (its median), from the analysis the window
// made and cached.
double floorOf(const SessionModel& m, const std::string& file) {
    auto a = recordingAnalysis(m.folder, file, manifestDigest(m, file), soundCacheFolder());
    if (!a)
        return -90;
    std::vector<std::int16_t> f = noiseFloor(*a);
    if (f.empty())
        return -90;
    std::nth_element(f.begin(), f.begin() + std::ptrdiff_t(f.size() / 2), f.end());
    return f[f.size() / 2] / 100.0;
}

} // namespace

void drawListeningPages(QPdfWriter& w, QPainter& p, const SessionModel& m) {
    const auto recordings = soundRecordings(m);
    if (recordings.empty())
        return;
    std::optional<ReviewLedger> ledger;
    if (auto digest = bagDigest(m.folder))
        if (auto l = ReviewLedger::open(m.folder, *digest))
            ledger = std::move(*l);
    w.newPage();
    const int width = w.width();
    int y = 0;
    auto text = [&](const QString& t, const QFont& f) {
        p.setFont(f);
        const QRect box =
            QFontMetrics(f, &w).boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, t);
        if (y + box.height() > w.height()) {
            w.newPage();
            y = 0;
        }
        p.setPen(Qt::black);
        p.drawText(QRect(0, y, width, box.height()), Qt::TextWordWrap, t);
        y += box.height() + 12;
    };
    const QFont heading("Liberation Sans", 14, QFont::Bold), body("Liberation Sans", 9),
        bold("Liberation Sans", 9, QFont::Bold);
    text("Listening: moments kept", heading);
    std::int64_t all = 0, heard = 0;
    std::set<std::string> by;
    QString perFile;
    for (const Event* e : recordings) {
        const Spans s = ledger ? ledger->heard(e->file) : Spans{};
        const double share = heardShare(s, e->durationMs);
        all += e->durationMs;
        heard += std::llround(share * double(e->durationMs));
        perFile += q(baseName(e->file) + ": " + durationText(e->durationMs) + ", ") +
                   QString("%1 % heard\n").arg(int(std::lround(share * 100)));
    }
    if (ledger)
        for (const LedgerEntry& e : ledger->entries())
            by.insert(e.by);
    std::string who;
    for (const std::string& b : by)
        who += (who.empty() ? "" : ", ") + b;
    text(QString("Share of the night reviewed: %1 % of its sound (%2 of %3)%4.")
             .arg(all > 0 ? int(std::lround(100.0 * double(heard) / double(all))) : 0)
             .arg(q(durationText(heard)), q(durationText(all)),
                  who.empty() ? QString(", nothing heard yet") : q(", by " + who)),
         body);
    text(perFile.trimmed(), body);
    std::vector<LedgerEntry> kept;
    if (ledger)
        for (const LedgerEntry& e : ledger->marks())
            if (e.verdict == kVerdictKeep)
                kept.push_back(e);
    if (kept.empty()) {
        text("No moment has been kept.", body);
        return;
    }
    for (const LedgerEntry& k : kept) {
        const Event* rec = nullptr;
        for (const Event* e : recordings)
            if (e->file == k.file)
                rec = e;
        const std::int64_t at = rec ? rec->heardFromMs + k.fromMs : 0;
        text(q(dateTimeText(at) + ", " + baseName(k.file)) +
                 QString(", %1 s").arg(double(k.toMs - k.fromMs) / 1000, 0, 'f', 1),
             bold);
        text(q("Kept by " + k.by + " at " + k.time + (k.note.empty() ? "" : ": " + k.note)), body);
        auto src = openBagSound(m.folder, k.file);
        if (!src)
            continue;
        const int rate = (*src)->rate();
        // A second either side of the moment.
        const auto from =
            std::uint64_t(std::max<std::int64_t>(0, k.fromMs - 1000)) * std::uint64_t(rate) / 1000;
        const auto to = std::uint64_t(k.toMs + 1000) * std::uint64_t(rate) / 1000;
        auto detail = detailSpectrogram(
            **src, from, std::min(to, (*src)->frames()) - std::min(from, (*src)->frames()));
        if (!detail || detail->columns() == 0)
            continue;
        const QImage img =
            spectrogramImage(*detail, 0, detail->columns(), floorOf(m, k.file), false);
        const int h = w.height() / 8;
        if (y + h > w.height()) {
            w.newPage();
            y = 0;
        }
        p.drawImage(QRect(0, y, width, h), img);
        y += h + 10;
        text(QString("Spectrogram, 0 (bottom) to 8 kHz, from a second before the moment to a "
                     "second after it."),
             QFont("Liberation Sans", 7));
        y += 30;
    }
}

} // namespace kestle::review
