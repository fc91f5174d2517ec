// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/live_chart.h"

#include "records/records.h"
#include "review/event_view.h"
#include "ui/readings_chart.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

namespace kestle::ui {

namespace {

// Every two seconds: once a second cost 0.8 to 1.0 % of a core in a
// constant session, twice a second about 1.5 %.
constexpr int kRedrawMs = 2000;
const int kMinutes[] = {1, 5, 15, 30, 60};

QSettings preferences() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
}

} // namespace

std::int64_t liveNowMs() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return review::localMs({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}) +
           t.msec();
}

LiveChart::LiveChart(app::MainWindow& win, QWidget* parent)
    : QWidget(parent, Qt::Window), win_(win) {
    setWindowTitle("Live Chart");
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(4, 4, 4, 4);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Show the last"));
    span_ = new QComboBox;
    for (int m : kMinutes)
        span_->addItem(QString("%1 min").arg(m), m);
    top->addWidget(span_);
    top->addStretch(1);
    box->addLayout(top);
    chart_ = new ReadingsChart;
    box->addWidget(chart_, 1);
    const int minutes = preferences().value("liveChart/minutes", 5).toInt();
    const int at = span_->findData(minutes);
    span_->setCurrentIndex(at >= 0 ? at : 1);
    setMinutes(span_->currentData().toInt());
    QObject::connect(span_, &QComboBox::currentIndexChanged, this, [this] {
        const int m = span_->currentData().toInt();
        setMinutes(m);
        QSettings p = preferences();
        p.setValue("liveChart/minutes", m);
    });
    redraw_.setInterval(kRedrawMs);
    QObject::connect(&redraw_, &QTimer::timeout, this, [this] {
        if (!dirty_)
            return;
        dirty_ = false;
        chart_->refresh();
        ++redraws_;
    });
    resize(900, 620);
}

LiveChart::~LiveChart() {
    listen(false);
}

void LiveChart::setMinutes(int minutes) {
    chart_->follow(std::int64_t(minutes) * 60000);
    dirty_ = true;
}

void LiveChart::showEvent(QShowEvent* e) {
    listen(true);
    QWidget::showEvent(e);
}

void LiveChart::hideEvent(QHideEvent* e) {
    listen(false);
    QWidget::hideEvent(e);
}

void LiveChart::listen(bool on) {
    if (on == listening_)
        return;
    listening_ = on;
    if (!on) {
        redraw_.stop();
        win_.records().onReading = nullptr;
        told_.reset();
        return;
    }
    win_.records().onReading = [this](const std::string& row) {
        if (auto v = review::rowValues(row)) {
            chart_->addReading({liveNowMs(), *v});
            dirty_ = true;
        }
    };
    told_ = win_.events().subscribe([this](const events::Event& e) {
        if (auto marker = review::reviewEvent(e))
            add(std::move(*marker));
    });
    redraw_.start();
}

void LiveChart::add(review::Event e) {
    e.ms = liveNowMs();
    chart_->addEvent(std::move(e));
    dirty_ = true;
}

} // namespace kestle::ui
