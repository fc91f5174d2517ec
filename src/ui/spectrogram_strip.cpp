// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/spectrogram_strip.h"

#include "review/spectrogram_image_qt.h"
#include "review/time_text.h"
#include "ui/readings_chart.h"
#include "ui/theme.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace kestle::ui {

SpectrogramStrips::SpectrogramStrips(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    night_ = isNightPalette(QApplication::palette());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(0);
}

void SpectrogramStrips::setTracks(std::vector<Track> tracks) {
    tracks_ = std::move(tracks);
    overviews_.assign(tracks_.size(), QImage());
    details_.assign(tracks_.size(), {});
    scaled_.assign(tracks_.size(), {});
    setFixedHeight(int(tracks_.size()) * (kStripHeight + kBarHeight + kGap));
    update();
}

void SpectrogramStrips::trackChanged(std::size_t) {
    update();
}

void SpectrogramStrips::setView(std::int64_t from, std::int64_t to) {
    from_ = from;
    to_ = std::max(to, from + 1);
    update();
}

void SpectrogramStrips::setNight(bool night) {
    if (night == night_)
        return;
    night_ = night;
    overviews_.assign(tracks_.size(), QImage());
    details_.assign(tracks_.size(), {});
    scaled_.assign(tracks_.size(), {});
    update();
}

int SpectrogramStrips::left() const {
    return ReadingsChart::kPlotLeft;
}
int SpectrogramStrips::right() const {
    return std::max(left() + 10, width() - ReadingsChart::kPlotRightMargin);
}
double SpectrogramStrips::xOf(std::int64_t ms) const {
    return left() + double(ms - from_) / double(to_ - from_) * (right() - left());
}
std::int64_t SpectrogramStrips::msAt(int x) const {
    return from_ + std::int64_t(double(x - left()) / (right() - left()) * double(to_ - from_));
}

int SpectrogramStrips::trackAt(int y) const {
    const int step = kStripHeight + kBarHeight + kGap;
    const int i = y / step;
    return i >= 0 && i < int(tracks_.size()) && y % step < kStripHeight ? i : -1;
}

std::optional<double> SpectrogramStrips::hzAt(int y) const {
    const int i = trackAt(y);
    if (i < 0)
        return std::nullopt;
    const int step = kStripHeight + kBarHeight + kGap;
    const double share = 1 - (double(y - i * step) + 0.5) / kStripHeight;
    return share * review::kTopHz;
}

bool SpectrogramStrips::wantsDetail() const {
    const double pxPerSecond = (right() - left()) * 1000.0 / double(to_ - from_);
    return pxPerSecond > review::kOverviewColumnsPerSecond * 2;
}

bool SpectrogramStrips::detailCovers(std::size_t i) const {
    if (i >= tracks_.size() || !tracks_[i].detail)
        return false;
    const Track& t = tracks_[i];
    const review::Spectrogram& d = *t.detail;
    const std::int64_t a = t.fromMs + d.firstColumn * 1000 / d.columnsPerSecond;
    const std::int64_t b = a + std::int64_t(d.columns()) * 1000 / d.columnsPerSecond;
    const std::int64_t shownFrom = std::max(from_, t.fromMs),
                       shownTo = std::min(to_, t.fromMs + t.lengthMs);
    return a <= shownFrom + 20 && b >= shownTo - 20;
}

const QImage& SpectrogramStrips::overviewImage(std::size_t i) {
    if (overviews_[i].isNull() && tracks_[i].analysis) {
        const review::Spectrogram& s = tracks_[i].analysis->overview;
        overviews_[i] = review::spectrogramImage(s, 0, s.columns(), tracks_[i].floorDb, night_);
    }
    return overviews_[i];
}

void SpectrogramStrips::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Theme theme(night_);
    const QColor ground = night_ ? theme.window() : QColor(Qt::white);
    const QColor label = night_ ? theme.caption() : QColor(0x30, 0x30, 0x30);
    p.fillRect(rect(), ground);
    QFont f = p.font();
    f.setPointSizeF(7.5);
    p.setFont(f);
    const int step = kStripHeight + kBarHeight + kGap;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        const Track& t = tracks_[i];
        const int top = int(i) * step;
        const QRect strip(left(), top, right() - left(), kStripHeight);
        p.fillRect(strip, night_ ? QColor(Qt::black) : QColor(0x08, 0x04, 0x1C));
        // Where the recording lies in the view.
        const double x0 = std::max<double>(strip.left(), xOf(t.fromMs));
        const double x1 = std::min<double>(strip.right() + 1, xOf(t.fromMs + t.lengthMs));
        p.setPen(label);
        p.drawText(QRect(0, top, left() - 6, kStripHeight / 2), Qt::AlignRight | Qt::AlignTop,
                   p.fontMetrics().elidedText(QString::fromStdString(t.name), Qt::ElideMiddle,
                                              left() - 8));
        p.drawText(QRect(0, top, left() - 6, kStripHeight), Qt::AlignRight | Qt::AlignBottom,
                   "0 - 8 kHz");
        if (!t.analysis) {
            const QString what = !t.failure.empty()
                                     ? QString::fromStdString("Cannot be analysed: " + t.failure)
                                     : QString("Analysing... %1 %").arg(int(t.progress * 100));
            if (t.failure.empty())
                p.fillRect(
                    QRectF(strip.left(), top + kStripHeight - 4, strip.width() * t.progress, 4),
                    night_ ? theme.caption() : QColor(0x58, 0x14, 0x6E));
            p.setPen(night_ ? theme.caption() : QColor(Qt::white));
            p.drawText(strip.adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, what);
        } else if (x1 > x0) {
            p.save();
            p.setClipRect(strip);
            const std::int64_t a = std::max(from_, t.fromMs),
                               b = std::min(to_, t.fromMs + t.lengthMs);
            const QRectF target(xOf(a), top, xOf(b) - xOf(a), kStripHeight);
            // The view's part of the picture, scaled once per view (a night's
            // overview is tens of thousands of columns): pointer moves and
            // playing only redraw it.
            const bool detail = showsDetail(i);
            const QSize size(std::max(1, int(std::lround(target.width()))), kStripHeight);
            const ViewKey key{a, b, size.width(), detail ? t.detail.get() : nullptr, night_};
            if (!(scaled_[i].first == key)) {
                const review::Spectrogram& s = detail ? *t.detail : t.analysis->overview;
                if (detail && details_[i].first != t.detail)
                    details_[i] = {t.detail,
                                   review::spectrogramImage(s, 0, s.columns(), t.floorDb, night_)};
                const QImage& img = detail ? details_[i].second : overviewImage(i);
                const std::int64_t firstMs =
                    t.fromMs + (detail ? s.firstColumn * 1000 / s.columnsPerSecond : 0);
                const double perMs = s.columnsPerSecond / 1000.0;
                const int c0 = std::clamp(int(std::floor(double(a - firstMs) * perMs)), 0,
                                          std::max(0, img.width() - 1));
                const int c1 = std::clamp(int(std::ceil(double(b - firstMs) * perMs)), c0 + 1,
                                          std::max(c0 + 1, img.width()));
                scaled_[i] = {key, img.copy(c0, 0, c1 - c0, img.height())
                                       .scaled(size, Qt::IgnoreAspectRatio,
                                               c1 - c0 > size.width() ? Qt::SmoothTransformation
                                                                      : Qt::FastTransformation)};
            }
            p.drawImage(target.topLeft(), scaled_[i].second);
            p.restore();
        }
        // What has been heard, under the strip.
        const QRect bar(left(), top + kStripHeight + 1, right() - left(), kBarHeight - 1);
        p.fillRect(bar, night_ ? theme.border() : QColor(0xDD, 0xDD, 0xDD));
        const QColor heard = night_ ? QColor(0x90, 0x50, 0x10) : QColor(0x20, 0x90, 0x30);
        for (const auto& [ha, hb] : t.heard) {
            const double u = std::max<double>(bar.left(), xOf(t.fromMs + ha));
            const double v = std::min<double>(bar.right() + 1, xOf(t.fromMs + hb));
            if (v > u)
                p.fillRect(QRectF(u, bar.top(), std::max(1.0, v - u), bar.height()), heard);
        }
    }
    if (!pointer_.isEmpty()) {
        p.setPen(night_ ? theme.caption() : QColor(Qt::white));
        p.drawText(QRect(left(), 0, right() - left() - 6, 14), Qt::AlignRight | Qt::AlignTop,
                   pointer_);
    }
}

void SpectrogramStrips::pointerAt(QPointF at) {
    const int i = trackAt(int(at.y()));
    QString text;
    if (i >= 0 && at.x() >= left() && at.x() <= right()) {
        const double hz = *hzAt(int(at.y()));
        const std::int64_t ms = msAt(int(at.x()));
        text = QString("%1 kHz at %2 in %3")
                   .arg(hz / 1000, 0, 'f', 2)
                   .arg(QString::fromStdString(review::momentTimeText(ms).substr(11, 10)))
                   .arg(QString::fromStdString(tracks_[std::size_t(i)].name));
    }
    if (text != pointer_) {
        pointer_ = text;
        update();
    }
}

void SpectrogramStrips::wheelEvent(QWheelEvent* e) {
    if (onZoom)
        onZoom(e->angleDelta().y() > 0 ? 0.8 : 1.25, msAt(int(e->position().x())));
    e->accept();
}

void SpectrogramStrips::mousePressEvent(QMouseEvent* e) {
    dragFrom_ = pressedAt_ = e->position().x();
}

void SpectrogramStrips::mouseMoveEvent(QMouseEvent* e) {
    pointerAt(e->position());
    if ((e->buttons() & Qt::LeftButton) && onPan) {
        const double dx = e->position().x() - dragFrom_;
        dragFrom_ = e->position().x();
        onPan(-dx / (right() - left()));
    }
}

void SpectrogramStrips::mouseReleaseEvent(QMouseEvent* e) {
    const int i = trackAt(int(e->position().y()));
    if (std::abs(e->position().x() - pressedAt_) < 4 && i >= 0 && onClicked) {
        const Track& t = tracks_[std::size_t(i)];
        const std::int64_t ms = msAt(int(e->position().x())) - t.fromMs;
        if (ms >= 0 && ms < t.lengthMs)
            onClicked(std::size_t(i), ms);
    }
}

void SpectrogramStrips::leaveEvent(QEvent*) {
    if (!pointer_.isEmpty()) {
        pointer_.clear();
        update();
    }
}

} // namespace kestle::ui

namespace kestle::ui {

void SpectrogramStrips::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange)
        setNight(isNightPalette(QApplication::palette()));
    QWidget::changeEvent(e);
}

} // namespace kestle::ui
