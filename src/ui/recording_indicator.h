// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The recording indicator in the main window's status line, which nothing
// covers: what records, for how long, how large, the free disk space and
// how long it lasts, in red under ten minutes (capture::RecordingMonitor).
// The sizes and the free space are measured once a second on a worker
// thread (a file system may stall). Hidden while nothing records.
// Window thread only.
#include "capture/recording_monitor.h"
#include "support/lifetime.h"
#include "support/worker_thread.h"

#include <QLabel>
#include <QTimer>

namespace kestle::ui {

class RecordingIndicator : public QLabel {
  public:
    explicit RecordingIndicator(QWidget* parent = nullptr);
    ~RecordingIndicator() override;

    // A recording's file made or finished.
    void notice(const capture::RecordingNotice& n);
    const capture::RecordingMonitor& monitor() const { return monitor_; }

  protected:
    void changeEvent(QEvent* e) override;

  private:
    void measure();
    void refresh();

    capture::RecordingMonitor monitor_;
    QTimer tick_;
    bool measuring_ = false;
    // Last: the worker ends first, and no measurement reaches a gone window.
    WorkerThread worker_;
    Lifetime lifetime_;
};

} // namespace kestle::ui
