// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/readings_chart.h"

#include "review/alarm_episodes.h"
#include "review/decimate.h"
#include "ui/theme.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QKeyEvent>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace kestle::ui {

using review::Event;
using review::EventKind;
using review::Point;

namespace {

constexpr int kLeft = ReadingsChart::kPlotLeft; // plot areas start here, so that they line up
constexpr int kRight = ReadingsChart::kPlotRightMargin; // room for half the last time label
constexpr int kTop = 8, kBottom = 8; // room for half the scale's top and bottom labels
constexpr int kAxisHeight = 22;      // time labels under the last plot
constexpr std::int64_t kMinSpan = ReadingsChart::kMinSpanMs;
constexpr std::uint32_t kAlarmRed = 0xB00000;

QColor rgb(std::uint32_t c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// The tag of a marker on the top plot; 0: not a marker.
char tagOf(EventKind k) {
    switch (k) {
    case EventKind::Question:
        return 'Q';
    case EventKind::Alarm:
        return 'A';
    case EventKind::Screen:
    case EventKind::Snapshot:
    case EventKind::Recording:
        return 'C';
    case EventKind::Plug:
        return 'P';
    case EventKind::Unplug:
        return 'U';
    case EventKind::Mark:
        return 'M';
    default:
        return 0;
    }
}

} // namespace

// One plot: wheel zooms about the pointer, a drag pans, marker lines are
// drawn over the plot.
class PlotView : public QChartView {
  public:
    PlotView(QChart* c, ReadingsChart& owner, int series)
        : QChartView(c), owner_(owner), series_(series),
          timeLabels_(series == review::kSeriesCount - 1) {
        setRenderHint(QPainter::Antialiasing, false);
        setFocusPolicy(Qt::NoFocus);
        setMinimumHeight(40);
    }

    // The plot areas line up, whatever the width of their scales' labels.
    void fitPlotArea() {
        const int bottom = timeLabels_ ? kAxisHeight : kBottom;
        const QRectF area(kLeft, kTop, std::max(10, width() - kLeft - kRight),
                          std::max(10, height() - kTop - bottom));
        if (chart()->plotArea() != area)
            chart()->setPlotArea(area);
    }

  protected:
    void resizeEvent(QResizeEvent* e) override {
        QChartView::resizeEvent(e);
        fitPlotArea();
        // Its labels follow the new plot area only once its layout is redone.
        chart()->layout()->invalidate();
    }
    void wheelEvent(QWheelEvent* e) override {
        if (owner_.followSpan_ > 0)
            return;
        const double x = chart()->mapToValue(e->position()).x();
        owner_.zoom(e->angleDelta().y() > 0 ? 0.8 : 1.25, owner_.fromAxisX(x));
        e->accept();
    }
    void mousePressEvent(QMouseEvent* e) override {
        dragFrom_ = pressedAt_ = e->position().x();
        QChartView::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (std::abs(e->position().x() - pressedAt_) < 4) { // a click, not a drag
            const auto at = [this](double x) {
                return owner_.fromAxisX(chart()->mapToValue(QPointF(x, 0)).x());
            };
            const double x = e->position().x();
            owner_.chooseNear(at(x), std::abs(at(x + 6) - at(x)));
        }
        QChartView::mouseReleaseEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if ((e->buttons() & Qt::LeftButton) && owner_.followSpan_ == 0) {
            const double dx = e->position().x() - dragFrom_;
            dragFrom_ = e->position().x();
            const double w = chart()->plotArea().width();
            if (w > 0)
                owner_.pan(-dx / w);
        }
        QChartView::mouseMoveEvent(e);
    }
    void drawForeground(QPainter* p, const QRectF&) override {
        const QRectF area = chart()->plotArea();
        const Theme t(owner_.night_);
        p->save();
        p->setClipRect(area);
        for (std::size_t n = 0; n < 2 * owner_.markers_.size(); ++n) {
            // The alarms over the rest.
            const std::size_t i = n % owner_.markers_.size();
            const Event& e = owner_.markers_[i];
            if (e.ms + e.durationMs < owner_.from_ || e.ms > owner_.to_ ||
                (e.kind == EventKind::Alarm) != (n >= owner_.markers_.size()))
                continue;
            const double x = chart()->mapToPosition(QPointF(owner_.axisX(e.ms), 0)).x();
            const bool chosen = int(i) == owner_.selected_;
            QColor c = e.kind == EventKind::Alarm ? t.text(kAlarmRed) : t.caption();
            if (e.kind == EventKind::Alarm && e.durationMs > 0) {
                // An alarm episode: a light band over its span, under its line.
                const double end =
                    chart()->mapToPosition(QPointF(owner_.axisX(e.ms + e.durationMs), 0)).x();
                QColor band = c;
                band.setAlpha(chosen ? 70 : 40);
                p->fillRect(QRectF(QPointF(x, area.top()), QPointF(end, area.bottom())), band);
            }
            c.setAlpha(chosen ? 255 : 120);
            p->setPen(QPen(c, chosen ? 2 : 1));
            p->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            if (series_ == 0) { // the tag says what the line marks
                c.setAlpha(255);
                p->setPen(c);
                p->drawText(QRectF(x + 2, area.top() + 14, 12, 14), Qt::AlignLeft,
                            QString(QChar(tagOf(e.kind))));
            }
        }
        // The series' name inside its plot, in its colour, over the lines.
        p->setClipping(false);
        const review::SeriesStyle& st = review::seriesStyle(series_);
        QFont f = p->font();
        f.setPointSizeF(8);
        f.setBold(true);
        p->setFont(f);
        const QString name = QString("%1 (%2)").arg(st.name, st.unit);
        QRectF tag = p->fontMetrics().boundingRect(name);
        tag.moveTopLeft(area.topLeft() + QPointF(4, 2));
        QColor ground = owner_.night_ ? t.window() : QColor(Qt::white);
        ground.setAlpha(200);
        p->fillRect(tag.adjusted(-2, 0, 2, 0), ground);
        p->setPen(rgb(owner_.night_ ? st.night : st.day));
        p->drawText(tag, Qt::AlignLeft | Qt::AlignTop, name);
        p->restore();
    }

  private:
    ReadingsChart& owner_;
    int series_;
    bool timeLabels_;
    double dragFrom_ = 0, pressedAt_ = 0;
};

ReadingsChart::ReadingsChart(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    night_ = isNightPalette(QApplication::palette());
    build();
    applyColours();
}

ReadingsChart::~ReadingsChart() = default;

void ReadingsChart::build() {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (int i = 0; i < review::kSeriesCount; ++i) {
        const bool last = i == review::kSeriesCount - 1;
        Plot& p = plots_[static_cast<std::size_t>(i)];
        p.chart = new QChart;
        p.chart->legend()->hide();
        p.chart->setMargins(QMargins(0, 0, 0, 0));
        p.chart->layout()->setContentsMargins(0, 0, 0, 0);
        p.chart->setBackgroundRoundness(0);
        p.x = new QDateTimeAxis;
        p.x->setFormat("HH:mm:ss");
        p.x->setTickCount(7);
        p.x->setLabelsVisible(last);
        p.y = new QValueAxis;
        p.y->setTickCount(3);
        // Each scale says its unit.
        p.y->setLabelFormat(QString("%.4g ") + review::seriesStyle(i).unit);
        QFont small = p.y->labelsFont();
        small.setPointSizeF(8);
        p.y->setLabelsFont(small);
        p.x->setLabelsFont(small);
        p.chart->addAxis(p.x, Qt::AlignBottom);
        p.chart->addAxis(p.y, Qt::AlignLeft);
        p.view = new PlotView(p.chart, *this, i);
        line(i, 0);
        box->addWidget(p.view, last ? 4 : 3);
    }
}

void ReadingsChart::applyColours() {
    const Theme t(night_);
    const QColor ground = night_ ? t.window() : QColor(Qt::white);
    const QColor label = night_ ? t.caption() : QColor(0x30, 0x30, 0x30);
    const QColor grid = night_ ? t.border() : QColor(0xE0, 0xE0, 0xE0);
    auto paint = [&](Plot& p) {
        p.chart->setBackgroundBrush(ground);
        p.chart->setPlotAreaBackgroundVisible(false);
        for (QAbstractAxis* a :
             {static_cast<QAbstractAxis*>(p.x), static_cast<QAbstractAxis*>(p.y)}) {
            a->setLabelsColor(label);
            a->setTitleBrush(label);
            a->setGridLineColor(grid);
            a->setLinePenColor(grid);
        }
        p.view->setBackgroundBrush(ground);
    };
    for (int i = 0; i < review::kSeriesCount; ++i) {
        Plot& p = plots_[static_cast<std::size_t>(i)];
        paint(p);
        const review::SeriesStyle& st = review::seriesStyle(i);
        for (QLineSeries* l : p.lines)
            l->setPen(QPen(rgb(night_ ? st.night : st.day), 1.5));
    }
}

QLineSeries* ReadingsChart::line(int series, std::size_t i) {
    Plot& p = plots_[static_cast<std::size_t>(series)];
    while (p.lines.size() <= i) {
        auto* l = new QLineSeries;
        p.chart->addSeries(l);
        l->attachAxis(p.x);
        l->attachAxis(p.y);
        const review::SeriesStyle& st = review::seriesStyle(series);
        l->setPen(QPen(rgb(night_ ? st.night : st.day), 1.5));
        p.lines.push_back(l);
    }
    return p.lines[i];
}

std::vector<std::vector<QPointF>> ReadingsChart::drawnRuns(int series) const {
    std::vector<std::vector<QPointF>> out;
    for (const QLineSeries* l : plots_[static_cast<std::size_t>(series)].lines)
        if (l->count() > 0) {
            const QList<QPointF> pts = l->points();
            out.emplace_back(pts.begin(), pts.end());
        }
    return out;
}

std::pair<double, double> ReadingsChart::scale(int series) const {
    const Plot& p = plots_[static_cast<std::size_t>(series)];
    return {p.y->min(), p.y->max()};
}

QRect ReadingsChart::plotArea(int series) const {
    const Plot& p = plots_[static_cast<std::size_t>(series)];
    return p.chart->plotArea().toRect().translated(p.view->mapTo(this, QPoint(0, 0)));
}

void ReadingsChart::setNight(bool night) {
    if (night == night_)
        return;
    night_ = night;
    applyColours();
    refresh();
}

void ReadingsChart::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange)
        setNight(isNightPalette(QApplication::palette()));
    QWidget::changeEvent(e);
}

void ReadingsChart::setSession(std::array<std::vector<Point>, review::kSeriesCount> series,
                               std::vector<Event> events, std::int64_t from, std::int64_t to) {
    series_ = std::move(series);
    markers_.clear();
    for (Event& e : events)
        if (tagOf(e.kind) != 0)
            markers_.push_back(std::move(e));
    followSpan_ = 0;
    first_ = from;
    last_ = std::max(to, from + kMinSpan);
    zoneKnown_ = false;
    from_ = first_;
    to_ = last_;
    selected_ = -1;
    refresh();
}

void ReadingsChart::follow(std::int64_t spanMs) {
    followSpan_ = std::max<std::int64_t>(spanMs, kMinSpan);
}

void ReadingsChart::addReading(const review::Reading& r) {
    for (int i = 0; i < review::kSeriesCount; ++i) {
        auto& s = series_[static_cast<std::size_t>(i)];
        s.push_back({r.ms, r.values[static_cast<std::size_t>(i)]});
        // Dropped in batches, so that the front is not erased at every reading.
        const std::int64_t keepFrom = r.ms - followSpan_;
        if (s.front().ms < keepFrom - followSpan_ / 4) {
            auto cut = std::lower_bound(s.begin(), s.end(), keepFrom,
                                        [](const Point& p, std::int64_t t) { return p.ms < t; });
            s.erase(s.begin(), cut);
        }
    }
    last_ = r.ms;
}

void ReadingsChart::addEvent(Event e) {
    if (tagOf(e.kind) == 0)
        return;
    // An alarm that trips again within moments goes on as one episode.
    if (e.kind == EventKind::Alarm)
        for (auto it = markers_.rbegin(); it != markers_.rend(); ++it)
            if (it->kind == EventKind::Alarm) {
                if (e.ms - (it->ms + it->durationMs) <= review::kEpisodeGapMs) {
                    it->durationMs = e.ms - it->ms;
                    return;
                }
                break;
            }
    markers_.push_back(std::move(e));
    const std::int64_t keepFrom = markers_.back().ms - 2 * followSpan_;
    if (markers_.front().ms < keepFrom)
        markers_.erase(markers_.begin(),
                       std::find_if(markers_.begin(), markers_.end(),
                                    [keepFrom](const Event& m) { return m.ms >= keepFrom; }));
}

void ReadingsChart::refresh() {
    if (followSpan_ > 0 && (last_ > to_ || to_ - from_ != followSpan_)) {
        // The view moves on in steps of a tenth of its span: between them
        // only the lines change, not the time axis and its labels.
        to_ = last_ + followSpan_ / 10;
        from_ = to_ - followSpan_;
    }
    if (!zoneKnown_) {
        // The zone's offset near the night's start.
        const std::int64_t at = (from_ / 1000) * 1000;
        const LocalDateTime t = fromEpochSeconds(at / 1000);
        const QDateTime asLocal(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
        zoneOffset_ = at - asLocal.toMSecsSinceEpoch();
        zoneKnown_ = true;
    }
    const int width = std::max(100, plots_[0].view->width() - kLeft);
    for (int i = 0; i < review::kSeriesCount; ++i) {
        Plot& p = plots_[static_cast<std::size_t>(i)];
        const auto& all = series_[static_cast<std::size_t>(i)];
        const auto pts = review::decimate(all, from_, to_, width / 2);
        const auto runs = review::splitAtGaps(pts, all);
        for (std::size_t r = 0; r < std::max(runs.size(), p.lines.size()); ++r) {
            QList<QPointF> points;
            if (r < runs.size()) {
                points.reserve(qsizetype(runs[r].size()));
                for (const Point& pt : runs[r])
                    points.append(QPointF(axisX(pt.ms), pt.value));
            }
            line(i, r)->replace(points);
        }
        // The scale of what is in view, up to where the lines leave it.
        const auto [lo, hi] = review::shownRange(runs, from_, to_);
        // Live, the scale stays while the values fit it well: a new scale
        // lays its labels out again, the costliest part of a redraw.
        const double a = p.y->min(), b = p.y->max();
        if (followSpan_ > 0 && lo >= a && hi <= b && hi - lo > (b - a) / 2)
            continue;
        const double margin = followSpan_ > 0 ? (hi - lo) / 5 : 0;
        p.y->setRange(lo - margin, hi + margin);
    }
    const QDateTime a = QDateTime::fromMSecsSinceEpoch(std::int64_t(axisX(from_)));
    const QDateTime b = QDateTime::fromMSecsSinceEpoch(std::int64_t(axisX(to_)));
    for (Plot& p : plots_) {
        p.x->setRange(a, b);
        p.view->viewport()->update();
    }
    for (Plot& p : plots_)
        p.view->fitPlotArea();
    if (onViewChanged)
        onViewChanged();
}

void ReadingsChart::setView(std::int64_t from, std::int64_t to) {
    std::int64_t span =
        std::clamp<std::int64_t>(to - from, kMinSpan, std::max(kMinSpan, last_ - first_));
    from = std::clamp(from, first_, std::max(first_, last_ - span));
    from_ = from;
    to_ = from + span;
    refresh();
}

void ReadingsChart::zoom(double factor, std::int64_t at) {
    const double span = double(to_ - from_) * factor;
    const double share = to_ > from_ ? double(at - from_) / double(to_ - from_) : 0.5;
    const auto from = std::int64_t(double(at) - share * span);
    setView(from, from + std::int64_t(span));
}

void ReadingsChart::pan(double share) {
    const auto by = std::int64_t(share * double(to_ - from_));
    setView(from_ + by, to_ + by);
}

void ReadingsChart::showAll() {
    setView(first_, last_);
}

void ReadingsChart::select(int marker) {
    selected_ = marker;
    if (marker >= 0 && marker < int(markers_.size()) && followSpan_ == 0) {
        const std::int64_t at = markers_[static_cast<std::size_t>(marker)].ms;
        if (at < from_ || at > to_) {
            const std::int64_t half = (to_ - from_) / 2;
            setView(at - half, at + half);
            return;
        }
    }
    for (Plot& p : plots_)
        p.view->viewport()->update();
}

void ReadingsChart::chooseNear(std::int64_t at, std::int64_t tolerance) {
    int best = -1;
    std::int64_t bestGap = tolerance + 1;
    for (std::size_t i = 0; i < markers_.size(); ++i) {
        const std::int64_t gap = std::abs(markers_[i].ms - at);
        if (gap < bestGap) {
            best = int(i);
            bestGap = gap;
        }
    }
    if (best < 0)
        return;
    select(best);
    if (onMarkerChosen)
        onMarkerChosen(best);
}

void ReadingsChart::keyPressEvent(QKeyEvent* e) {
    if (followSpan_ > 0)
        return QWidget::keyPressEvent(e);
    const std::int64_t mid = (from_ + to_) / 2;
    switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom(0.5, mid);
        break;
    case Qt::Key_Minus:
        zoom(2, mid);
        break;
    case Qt::Key_Left:
        pan(-0.2);
        break;
    case Qt::Key_Right:
        pan(0.2);
        break;
    case Qt::Key_Home:
        showAll();
        break;
    default:
        return QWidget::keyPressEvent(e);
    }
    e->accept();
}

} // namespace kestle::ui
