// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readings of a night as six plots on one time axis, one above the
// other, each on its own scale, with the events as marker lines across them
// and a tag on the top plot (Qt Charts). The one place that draws readings in a window: the live
// chart and the review window both use it, with the series table's colours and the night view's.
// Window thread only.
#include "review/session_model.h"

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace kestle::ui {

class PlotView;

class ReadingsChart : public QWidget {
  public:
    explicit ReadingsChart(QWidget* parent = nullptr);
    ~ReadingsChart() override;

    // The whole night: its readings and events (the marker kinds are shown).
    void setSession(std::array<std::vector<review::Point>, review::kSeriesCount> series,
                    std::vector<review::Event> events, std::int64_t from, std::int64_t to);
    // Live: readings and events come one by one (times never go back);
    // what is older than `spanMs` before the newest is dropped, and the
    // view follows the newest, a tenth of the span ahead of it at most.
    // Nothing is drawn until refresh().
    void follow(std::int64_t spanMs);
    void addReading(const review::Reading& r);
    void addEvent(review::Event e);
    // Redraws the plots for the current view.
    void refresh();

    // The span shown (ms as review::Point); kept inside the night.
    void setView(std::int64_t from, std::int64_t to);
    std::int64_t viewFrom() const { return from_; }
    std::int64_t viewTo() const { return to_; }
    // Zooms by `factor` (< 1: in) about `at`; pans by a share of the span.
    void zoom(double factor, std::int64_t at);
    void pan(double share);
    void showAll();

    void setNight(bool night);
    const std::vector<review::Event>& markers() const { return markers_; }
    std::size_t readingCount() const { return series_[0].size(); }
    // What a plot draws now (for tests): its runs of points (as Qt draws
    // them: x in ms since the epoch, in Qt's zone), its value scale, and
    // where its plot area stands in this widget.
    std::vector<std::vector<QPointF>> drawnRuns(int series) const;
    std::pair<double, double> scale(int series) const;
    QRect plotArea(int series) const;
    // Marks one marker (index into markers(), -1: none) and centres it.
    void select(int marker);
    // Told when a marker is clicked (a click, not a drag, within a few
    // pixels of its line), with its index into markers().
    std::function<void(int)> onMarkerChosen;
    // Told after every redraw for a new view (zoom, pan, a new night).
    std::function<void()> onViewChanged;
    // Where the plot areas lie across the widget: strips drawn under the
    // plots line up with them.
    static constexpr int kPlotLeft = 96, kPlotRightMargin = 34;
    // The narrowest view: at full zoom a second spans some 300 pixels.
    static constexpr std::int64_t kMinSpanMs = 2000;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    friend class PlotView;
    struct Plot {
        PlotView* view = nullptr;
        QChart* chart = nullptr;
        // One line a run of readings: none across a time without them.
        std::vector<QLineSeries*> lines;
        QDateTimeAxis* x = nullptr;
        QValueAxis* y = nullptr;
    };
    void build();
    void applyColours();
    // The plot's line for run `i`, made when there is none yet.
    QLineSeries* line(int series, std::size_t i);
    // The x value Qt draws for a review time: Qt shows epoch times in the
    // local zone, ours are the local calendar's own.
    double axisX(std::int64_t ms) const { return double(ms - zoneOffset_); }
    std::int64_t fromAxisX(double x) const { return std::int64_t(x) + zoneOffset_; }
    // The marker nearest `at` within `tolerance` (ms), chosen and told.
    void chooseNear(std::int64_t at, std::int64_t tolerance);

    std::array<std::vector<review::Point>, review::kSeriesCount> series_;
    std::vector<review::Event> markers_;
    std::array<Plot, review::kSeriesCount> plots_;
    std::int64_t first_ = 0, last_ = 1000, from_ = 0, to_ = 1000;
    std::int64_t zoneOffset_ = 0;
    bool zoneKnown_ = false;
    std::int64_t followSpan_ = 0; // 0: not live
    int selected_ = -1;
    bool night_ = false;
};

} // namespace kestle::ui
