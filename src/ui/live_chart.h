// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live chart: a window of its own with the readings of the last
// minutes as they come (the rows the log stage makes, logged or not), and
// markers for the session's events (questions, alarms, captures). While it
// is shown it listens and redraws at most every two seconds when something
// came; while it is closed nothing is listened to or drawn. Window thread
// only.
#include "app/main_window.h"
#include "review/session_model.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QComboBox;

namespace kestle::ui {

class ReadingsChart;

class LiveChart : public QWidget {
  public:
    // A tool window of `parent` (the main window); `win` outlives it.
    LiveChart(app::MainWindow& win, QWidget* parent);
    ~LiveChart() override;

    ReadingsChart& chart() { return *chart_; }
    bool listening() const { return listening_; }
    // How many redraws have run (for the benchmark's and tests' eyes).
    long redraws() const { return redraws_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void listen(bool on);
    void add(review::Event e);
    void setMinutes(int minutes);

    app::MainWindow& win_;
    ReadingsChart* chart_;
    QComboBox* span_;
    QTimer redraw_;
    events::SessionEvents::Subscription told_;
    bool listening_ = false, dirty_ = false;
    long redraws_ = 0;
};

// Now in the calendar of the logs (review::Reading::ms), to the millisecond.
std::int64_t liveNowMs();

} // namespace kestle::ui
