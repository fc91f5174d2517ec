// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/review_window.h"

#include "evidence/bagit.h"
#include "review/report.h"
#include "review/time_text.h"
#include "ui/listening_panel.h"
#include "ui/readings_chart.h"
#include "ui/screen_fit.h"
#include "ui/theme.h"

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestle::ui {

namespace fs = std::filesystem;
using review::Event;
using review::EventKind;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QString describe(const Event& e) {
    QString t =
        q(review::dateTimeText(e.ms)) + "  " + review::eventKindName(e.kind) + "\n\n" + q(e.text);
    if (e.kind == EventKind::Alarm && e.durationMs > 0)
        t += q("\nuntil " + review::clockText(e.ms + e.durationMs) + " (" +
               review::durationText(e.durationMs) + "); each trip is in the list");
    if (e.kind == EventKind::Question) {
        QStringList words;
        for (const std::string& w : e.words)
            words << q(w);
        t += "\n\nAnswer words: " + (words.isEmpty() ? QString("(none)") : words.join(" "));
    }
    if (e.kind == EventKind::Mark)
        t += "\n\nMade by: " + q(e.detail);
    if (!e.file.empty())
        t += "\n\nFile: " + q(e.file);
    else if (e.kind == EventKind::Screen || e.kind == EventKind::Snapshot ||
             e.kind == EventKind::Recording)
        t += "\n\n(the file is not in the bag)";
    return t;
}

} // namespace

ReviewWindow::ReviewWindow(fs::path bag, QWidget* parent)
    : QMainWindow(parent, Qt::Window), bag_(std::move(bag)) {
    std::string name = bag_.filename().string();
    if (name.empty())
        name = bag_.parent_path().filename().string();
    setWindowTitle(q("Session Review - " + name));
    auto* central = new QWidget;
    auto* box = new QVBoxLayout(central);
    box->setContentsMargins(4, 4, 4, 4);
    banner_ = new QLabel;
    banner_->setWordWrap(true);
    colourBanner();
    installNightView();
    keepWindowsOnScreen(); // 1100 x 760 is more than a laptop's screen holds
    banner_->hide();
    box->addWidget(banner_);
    auto* split = new QSplitter(Qt::Horizontal);
    chart_ = new ReadingsChart;
    listening_ = std::make_unique<ListeningPanel>(*chart_, player_, this);
    listening_->onStatus = [this](const QString& s) { statusBar()->showMessage(s); };
    listening_->windowPlays = [this] { return playing_.isActive(); };
    auto* plots = new QWidget; // the sound's strips under the plots, on their time axis
    auto* plotsBox = new QVBoxLayout(plots);
    plotsBox->setContentsMargins(0, 0, 0, 0);
    plotsBox->setSpacing(0);
    plotsBox->addWidget(chart_, 1);
    plotsBox->addWidget(listening_->strips());
    split->addWidget(plots);
    auto* side = new QSplitter(Qt::Vertical);
    list_ = new QTreeWidget;
    list_->setHeaderHidden(true);
    list_->setUniformRowHeights(true);
    side->addWidget(list_);
    side->addWidget(listening_->momentsBox());
    auto* detailBox = new QWidget;
    auto* detailLayout = new QVBoxLayout(detailBox);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    details_ = new QLabel("Choose a marker to see what it holds.");
    details_->setWordWrap(true);
    details_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    picture_ = new QLabel;
    picture_->setAlignment(Qt::AlignCenter);
    picture_->hide();
    play_ = new QPushButton("Play Recording");
    play_->hide();
    detailLayout->addWidget(details_);
    detailLayout->addWidget(play_, 0, Qt::AlignLeft);
    detailLayout->addWidget(picture_, 1);
    QObject::connect(play_, &QPushButton::clicked, this, [this] {
        if (player_.active()) {
            player_.stop();
            playing_.stop();
            play_->setText("Play Recording");
            statusBar()->showMessage("Stopped");
        } else {
            playChosen();
        }
    });
    playing_.setInterval(100);
    QObject::connect(&playing_, &QTimer::timeout, this, [this] {
        player_.poll();
        if (!player_.active()) {
            playing_.stop();
            play_->setText("Play Recording");
            statusBar()->showMessage(player_.error().empty()
                                         ? QString("The recording has ended")
                                         : q("The recording cannot be played: " + player_.error()));
            return;
        }
        if (auto at = player_.positionMs())
            statusBar()->showMessage(
                QString("Playing %1 at %2 s").arg(playingName_).arg(double(*at) / 1000, 0, 'f', 1));
    });
    side->addWidget(detailBox);
    split->addWidget(side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({800, 300});
    list_->setTextElideMode(Qt::ElideRight);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->addWidget(split, 1);
    setCentralWidget(central);

    QMenu* session = menuBar()->addMenu("&Session");
    QAction* report = session->addAction("&Write Report...");
    QObject::connect(report, &QAction::triggered, this, [this] { askReportFile(); });
    QAction* exportMoment = session->addAction("&Export Moment...");
    QObject::connect(exportMoment, &QAction::triggered, this, [this] { listening_->askExport(); });
    session->addSeparator();
    QAction* close = session->addAction("&Close");
    close->setShortcut(QKeySequence::Close);
    QObject::connect(close, &QAction::triggered, this, &QWidget::close);
    QMenu* view = menuBar()->addMenu("&View");
    view->addAction("Zoom &In\t+", this,
                    [this] { chart_->zoom(0.5, (chart_->viewFrom() + chart_->viewTo()) / 2); });
    view->addAction("Zoom &Out\t-", this,
                    [this] { chart_->zoom(2, (chart_->viewFrom() + chart_->viewTo()) / 2); });
    view->addAction("&Whole Night\tHome", this, [this] { chart_->showAll(); });

    chart_->onMarkerChosen = [this](int i) { choose(i); };
    QObject::connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        // A trip's row chooses its episode.
        const int row =
            item ? list_->indexOfTopLevelItem(item->parent() ? item->parent() : item) : -1;
        if (row >= 0 && row != chosen_)
            choose(row);
    });
    QObject::connect(list_, &QTreeWidget::itemExpanded, this,
                     [this](QTreeWidgetItem* item) { listTrips(item); });
    resize(1100, 760);
    statusBar()->showMessage(q("Reading " + bag_.string() + " ..."));
    worker_.post([this, bag = bag_, stop = stop_] {
        auto r = review::loadSession(bag, false, stop);
        QMetaObject::invokeMethod(
            this, [this, r = std::move(r)]() mutable { loaded(std::move(r)); },
            Qt::QueuedConnection);
    });
    verifier_.post([this, bag = bag_, stop = stop_] {
        *workerProblems_ = evidence::verifyBag(bag, stop);
        QMetaObject::invokeMethod(
            this, [this, problems = *workerProblems_] { showProblems(problems); },
            Qt::QueuedConnection);
    });
}

ReviewWindow::~ReviewWindow() {
    stop_->store(true);
}

// A warning reads as one, by day and (dark red, never white) at night.
void ReviewWindow::colourBanner() {
    const bool night = Theme::current().night();
    banner_->setStyleSheet(night ? "QLabel { background: #340704; color: #E02C1C; padding: 6px; "
                                   "font-weight: bold; }"
                                 : "QLabel { background: #B00000; color: white; padding: 6px; "
                                   "font-weight: bold; }");
}

void ReviewWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange)
        colourBanner();
    QMainWindow::changeEvent(e);
}

void ReviewWindow::loaded(Result<review::SessionModel> r) {
    if (!r) {
        banner_->setText(q(r.error()));
        banner_->show();
        statusBar()->showMessage("The session could not be read");
        if (onLoaded)
            onLoaded();
        return;
    }
    model_ = std::make_shared<const review::SessionModel>(std::move(*r));
    const review::SessionModel& m = *model_;
    showWarning();
    // An alarm tripping in every check is one marker and one row.
    episodes_ = review::alarmEpisodes(m.events);
    chart_->setSession(m.series, review::withAlarmEpisodes(m.events, episodes_), m.startMs,
                       m.endMs);
    listening_->setSession(model_);
    std::map<std::pair<std::int64_t, std::string>, std::size_t> byStart;
    for (std::size_t i = 0; i < episodes_.size(); ++i)
        byStart[{episodes_[i].startMs, review::episodeSummary(episodes_[i])}] = i;
    QList<QTreeWidgetItem*> rows;
    for (const Event& e : chart_->markers()) {
        QString line = q(review::clockText(e.ms)) + "  " + review::eventKindName(e.kind);
        if (!e.text.empty())
            line += ": " + q(e.text).section('\n', 0, 0);
        auto* row = new QTreeWidgetItem(QStringList(line));
        if (auto it = byStart.find({e.ms, e.text});
            e.kind == EventKind::Alarm && it != byStart.end()) {
            episodeOf_[int(rows.size())] = it->second;
            if (episodes_[it->second].trips.size() > 1) // its trips are listed when it opens
                row->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        rows << row;
    }
    list_->addTopLevelItems(rows);
    statusBar()->showMessage(q(review::dateTimeText(m.startMs) + " to " +
                               review::clockText(m.endMs) + " (" +
                               review::durationText(m.endMs - m.startMs) + "), " + m.unit + "; " +
                               std::to_string(m.series[0].size()) + " readings, " +
                               std::to_string(chart_->markers().size()) + " markers"));
    chart_->setFocus();
    if (onLoaded)
        onLoaded();
}

void ReviewWindow::showProblems(const std::vector<std::string>& problems) {
    verified_ = true;
    problems_ = problems;
    showWarning();
    if (onVerified)
        onVerified();
}

// The verification and the reading of the bag end in either order.
void ReviewWindow::showWarning() {
    if (!model_ || !verified_ || problems_.empty())
        return;
    QString text = "Warning: this bag failed verification; what it shows may have been "
                   "changed since it was sealed.";
    for (const std::string& p : problems_)
        text += "\n" + q(p);
    banner_->setText(text);
    banner_->show();
}

QString ReviewWindow::warning() const {
    return banner_->isVisibleTo(this) ? banner_->text() : QString();
}

QString ReviewWindow::details() const {
    return details_->text();
}

bool ReviewWindow::showsPicture() const {
    return picture_->isVisibleTo(this) && !picture_->pixmap().isNull();
}

void ReviewWindow::choose(int marker) {
    const auto& markers = chart_->markers();
    if (marker < 0 || marker >= int(markers.size()) || !model_)
        return;
    chosen_ = marker;
    chart_->select(marker);
    QTreeWidgetItem* row = list_->topLevelItem(marker);
    QTreeWidgetItem* current = list_->currentItem();
    if (row && current != row && (!current || current->parent() != row))
        list_->setCurrentItem(row);
    const Event& e = markers[static_cast<std::size_t>(marker)];
    details_->setText(describe(e));
    picture_->clear();
    picture_->hide();
    // A recording plays from its start; another moment from where the
    // recording running then had got to.
    playback_ = e.kind == EventKind::Recording && e.file.ends_with(".wav")
                    ? std::optional(review::Playback{std::size_t(marker), 0})
                    : review::recordingAt(markers, e.ms);
    play_->setVisible(playback_.has_value());
    if ((e.kind == EventKind::Screen || e.kind == EventKind::Snapshot) && !e.file.empty()) {
        worker_.post([this, folder = model_->folder, file = e.file, marker, stop = stop_] {
            QImage image;
            if (auto bag = evidence::BagReader::open(folder, {}, stop))
                if (auto bytes = bag->readAll(file, 32 << 20))
                    image.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                       int(bytes->size()));
            QMetaObject::invokeMethod(
                this,
                [this, image, marker] {
                    if (marker == chosen_)
                        showPicture(image);
                },
                Qt::QueuedConnection);
        });
    }
}

void ReviewWindow::listTrips(QTreeWidgetItem* episodeRow) {
    auto it = episodeOf_.find(list_->indexOfTopLevelItem(episodeRow));
    if (it == episodeOf_.end() || episodeRow->childCount() > 0)
        return;
    QList<QTreeWidgetItem*> trips;
    for (const review::AlarmTrip& t : episodes_[it->second].trips)
        trips << new QTreeWidgetItem(QStringList(
            q(review::clockText(t.ms) + "  " + t.line.alarm +
              (t.line.reading.empty() ? "" : " " + t.line.limit + " Value = " + t.line.reading))));
    episodeRow->addChildren(trips);
}

void ReviewWindow::playChosen() {
    const auto& markers = chart_->markers();
    if (!playback_ || playback_->event >= markers.size() || !model_)
        return;
    const Event& e = markers[playback_->event];
    if (Status s = player_.start(model_->folder / e.file, playback_->fromMs); !s) {
        statusBar()->showMessage(q("The recording cannot be played: " + s.error()));
        return;
    }
    playingName_ = q(e.text);
    play_->setText("Stop");
    statusBar()->showMessage(
        q("Playing " + e.text + " from " + review::clockText(e.ms + playback_->fromMs)));
    playing_.start();
}

void ReviewWindow::showPicture(const QImage& image) {
    if (image.isNull())
        return;
    QImage shown = image.scaled(360, 270, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    // In red in the night view, as the live picture is; the file keeps its colours.
    picture_->setPixmap(QPixmap::fromImage(Theme::current().picture(shown)));
    picture_->show();
}

void ReviewWindow::askReportFile() {
    if (!model_)
        return;
    auto* d = new QFileDialog(this, "Write Report",
                              q((bag_.parent_path() / (model_->name + " report.pdf")).string()),
                              "PDF files (*.pdf)");
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setDefaultSuffix("pdf");
    d->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(d, &QFileDialog::fileSelected, this,
                     [this](const QString& f) { writeReport(f.toStdString()); });
    d->open();
}

void ReviewWindow::writeReport(const fs::path& pdf) {
    if (!model_)
        return;
    statusBar()->showMessage(q("Writing " + pdf.string() + " ..."));
    // After the verification on the same worker: the report says its result.
    verifier_.post([this, model = model_, pdf, problems = workerProblems_, stop = stop_] {
        review::SessionModel verified = *model;
        verified.problems = *problems;
        verified.verified = true;
        // Written beside its name and renamed over it (writeReport does so):
        // a report cut short never stands under the name of a finished one.
        Status s = review::writeReport(verified, pdf, stop);
        QMetaObject::invokeMethod(
            this,
            [this, s, pdf] {
                statusBar()->showMessage(s ? q("Report written: " + pdf.string())
                                           : q("The report could not be written: " + s.error()));
                if (onReportWritten)
                    onReportWritten(s);
            },
            Qt::QueuedConnection);
    });
}

void chooseSessionToReview(QWidget* parent, const fs::path& startDir) {
    auto* d = new QFileDialog(parent, "Review Session", q(startDir.string()));
    d->setFileMode(QFileDialog::Directory);
    d->setOption(QFileDialog::ShowDirsOnly);
    d->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(d, &QFileDialog::fileSelected, d, [](const QString& dir) {
        auto* w = new ReviewWindow(dir.toStdString());
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    });
    d->open();
}

} // namespace kestle::ui
