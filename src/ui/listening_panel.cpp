// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/listening_panel.h"

#include "evidence/journal.h"
#include "review/bag_sound.h"
#include "review/listening_commands.h"
#include "review/moment_bag.h"
#include "review/sound_cache.h"
#include "review/spectrogram.h"
#include "review/time_text.h"
#include "ui/readings_chart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kestle::ui {

namespace fs = std::filesystem;
using review::Moment;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Zooms narrower than this get the detail of what they show.
constexpr std::int64_t kDetailSpanMs = 5 * 60 * 1000;
constexpr double kSpeeds[] = {0.5, 1, 1.5, 2};

} // namespace

ListeningPanel::ListeningPanel(ReadingsChart& chart, review::RecordingPlayer& player,
                               QWidget* window)
    : chart_(chart), player_(player), window_(window) {
    strips_ = new SpectrogramStrips;
    box_ = new QWidget;
    auto* v = new QVBoxLayout(box_);
    v->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel("<b>Moments worth hearing</b>");
    heard_ = new QLabel;
    heard_->setWordWrap(true);
    auto* wordRow = new QHBoxLayout;
    wordRow->addWidget(new QLabel("Near the word:"));
    wordBox_ = new QLineEdit;
    wordBox_->setPlaceholderText("(none)");
    wordRow->addWidget(wordBox_, 1);
    list_ = new QTreeWidget;
    list_->setColumnCount(6);
    list_->setHeaderLabels({"Time", "Length", "Kind", "Score", "Recording", "Why"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->header()->setStretchLastSection(true);
    auto* playRow = new QHBoxLayout;
    auto* play = new QPushButton("Play");
    speed_ = new QComboBox;
    for (double s : kSpeeds)
        speed_->addItem(QString("%1x").arg(s));
    speed_->setCurrentIndex(1);
    loop_ = new QCheckBox("Loop");
    playRow->addWidget(play);
    playRow->addWidget(speed_);
    playRow->addWidget(loop_);
    playRow->addStretch(1);
    auto* markRow = new QHBoxLayout;
    auto* nothing = new QPushButton("Heard, nothing");
    auto* keep = new QPushButton("Keep...");
    auto* exportButton = new QPushButton("Export Moment...");
    markRow->addWidget(nothing);
    markRow->addWidget(keep);
    markRow->addWidget(exportButton);
    markRow->addStretch(1);
    v->addWidget(title);
    v->addWidget(heard_);
    v->addLayout(wordRow);
    v->addWidget(list_, 1);
    v->addLayout(playRow);
    v->addLayout(markRow);

    QObject::connect(play, &QPushButton::clicked, this, [this] {
        if (chosen() >= 0)
            this->play(std::size_t(chosen()));
    });
    QObject::connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (chosen() >= 0)
            this->play(std::size_t(chosen()));
    });
    QObject::connect(list_, &QTreeWidget::currentItemChanged, this, [this] {
        // The chosen moment comes into view on the plots.
        const int i = chosen();
        if (i < 0)
            return;
        const Moment& m = moments_[std::size_t(i)];
        const std::int64_t span = std::max<std::int64_t>(m.lengthMs * 3, 10000);
        const std::int64_t mid = m.ms + m.lengthMs / 2;
        chart_.setView(mid - span / 2, mid + span / 2);
    });
    QObject::connect(speed_, &QComboBox::currentIndexChanged, this,
                     [this](int i) { setSpeed(kSpeeds[std::clamp(i, 0, 3)]); });
    QObject::connect(loop_, &QCheckBox::toggled, this, [this](bool on) { setLoop(on); });
    QObject::connect(nothing, &QPushButton::clicked, this, [this] {
        if (chosen() >= 0)
            mark(std::size_t(chosen()), review::kVerdictNothing, "");
    });
    QObject::connect(keep, &QPushButton::clicked, this, [this] {
        if (chosen() >= 0)
            askKeep(std::size_t(chosen()));
    });
    QObject::connect(exportButton, &QPushButton::clicked, this, [this] { askExport(); });
    QObject::connect(wordBox_, &QLineEdit::editingFinished, this,
                     [this] { chooseWord(wordBox_->text().trimmed().toStdString()); });

    strips_->onZoom = [this](double f, std::int64_t at) { chart_.zoom(f, at); };
    strips_->onPan = [this](double share) { chart_.pan(share); };
    strips_->onClicked = [this](std::size_t t, std::int64_t ms) {
        // Heard from there.
        const review::Event& e = *recordings_[t];
        if (player_.start(model_->folder / e.file, ms) && onStatus)
            onStatus(q("Playing " + baseName(e.file) + " from " +
                       review::clockText(e.heardFromMs + ms)));
    };
    watch_.setInterval(100);
    QObject::connect(&watch_, &QTimer::timeout, this, [this] { watchPlayback(); });
    watch_.start();
}

ListeningPanel::~ListeningPanel() {
    chart_.onViewChanged = nullptr;
    notePlayed();
    stop_ = true;
    lifetime_.end();
}

void ListeningPanel::setSession(std::shared_ptr<const review::SessionModel> model) {
    model_ = std::move(model);
    recordings_ = review::soundRecordings(*model_);
    std::vector<SpectrogramStrips::Track> tracks;
    for (const review::Event* e : recordings_) {
        SpectrogramStrips::Track t;
        t.file = e->file;
        t.name = baseName(e->file);
        t.fromMs = e->heardFromMs;
        t.lengthMs = e->durationMs;
        tracks.push_back(std::move(t));
    }
    strips_->setTracks(std::move(tracks));
    detailWanted_.assign(recordings_.size(), false);
    chart_.onViewChanged = [this] { viewChanged(); };
    viewChanged();
    // The ledger names the bag by its tag manifest's digest; both are read
    // on a worker.
    sched_.expectResult();
    helper_.post(lifetime_.guard([this, bag = model_->folder] {
        std::optional<review::ReviewLedger> ledger;
        std::string error;
        if (auto digest = review::bagDigest(bag)) {
            if (auto l = review::ReviewLedger::open(bag, *digest))
                ledger = std::move(*l);
            else
                error = l.error();
        } else {
            error = digest.error();
        }
        sched_.postResult(lifetime_.guard([this, ledger, error] {
            ledger_ = ledger;
            if (!error.empty() && onStatus)
                onStatus(q("What is heard cannot be kept: " + error));
            showHeard();
            showMoments();
        }));
    }));
    pending_ = recordings_.size();
    if (recordings_.empty()) {
        analysed_ = true;
        heard_->setText("No sound recording in this bag.");
        if (onAnalysed)
            onAnalysed();
    }
    for (std::size_t i = 0; i < recordings_.size(); ++i)
        analyse(i);
}

void ListeningPanel::analyse(std::size_t track) {
    const review::Event& e = *recordings_[track];
    sched_.expectResult();
    analyser_.post(lifetime_.guard([this, track, bag = model_->folder, file = e.file,
                                    sha = review::manifestDigest(*model_, e.file)] {
        auto a = review::recordingAnalysis(bag, file, sha, review::soundCacheFolder(), &stop_,
                                           [this, track](double share) {
                                               sched_.post(lifetime_.guard([this, track, share] {
                                                   strips_->tracks()[track].progress = share;
                                                   strips_->trackChanged(track);
                                               }));
                                           });
        std::shared_ptr<const review::SoundAnalysis> done;
        double floorDb = -90;
        std::string failure;
        if (a) {
            const auto floor = review::noiseFloor(*a);
            if (!floor.empty()) {
                std::vector<std::int16_t> sorted = floor;
                std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                                 sorted.end());
                floorDb = sorted[sorted.size() / 2] / 100.0;
            }
            done = std::make_shared<const review::SoundAnalysis>(std::move(*a));
        } else {
            failure = a.error();
        }
        sched_.postResult(lifetime_.guard([this, track, done, floorDb, failure] {
            auto& t = strips_->tracks()[track];
            t.analysis = done;
            t.floorDb = floorDb;
            t.failure = failure;
            t.progress = 1;
            strips_->trackChanged(track);
            viewChanged();
            if (--pending_ == 0)
                rank();
        }));
    }));
}

void ListeningPanel::rank() {
    std::vector<std::pair<const review::Event*, std::shared_ptr<const review::SoundAnalysis>>> done;
    for (std::size_t i = 0; i < recordings_.size(); ++i)
        if (auto a = strips_->tracks()[i].analysis)
            done.emplace_back(recordings_[i], a);
    sched_.expectResult();
    analyser_.post(lifetime_.guard([this, model = model_, done, word = word_] {
        const review::MomentContext c = review::momentContext(*model, word);
        std::vector<Moment> all;
        for (const auto& [e, a] : done)
            for (Moment& m : review::recordingMoments(*e, *a, c))
                all.push_back(std::move(m));
        review::rankMoments(all);
        sched_.postResult(lifetime_.guard([this, all = std::move(all)]() mutable {
            moments_ = std::move(all);
            analysed_ = true;
            showMoments();
            if (onAnalysed)
                onAnalysed();
        }));
    }));
}

void ListeningPanel::chooseWord(const std::string& word) {
    if (word == word_)
        return;
    word_ = word;
    if (pending_ == 0 && model_)
        rank();
}

void ListeningPanel::showMoments() {
    list_->clear();
    std::vector<review::LedgerEntry> marks;
    if (ledger_)
        marks = ledger_->marks();
    for (const Moment& m : moments_) {
        std::string why;
        for (const std::string& r : m.reasons)
            why += (why.empty() ? "" : "; ") + r;
        for (const review::LedgerEntry& e : marks)
            if (e.file == m.file && e.fromMs == m.offsetMs && e.toMs == m.offsetMs + m.lengthMs)
                why = (e.verdict == review::kVerdictKeep ? "[kept] " : "[heard, nothing] ") + why;
        auto* item = new QTreeWidgetItem(
            {q(review::clockText(m.ms)), QString("%1 s").arg(double(m.lengthMs) / 1000, 0, 'f', 1),
             review::momentKindName(m.kind), QString::number(m.score, 'f', 2), q(baseName(m.file)),
             q(why)});
        item->setToolTip(5, q(why));
        list_->addTopLevelItem(item);
    }
    for (int c = 0; c < 5; ++c)
        list_->resizeColumnToContents(c);
}

int ListeningPanel::chosen() const {
    const int i = list_->indexOfTopLevelItem(list_->currentItem());
    return i >= 0 && i < int(moments_.size()) ? i : -1;
}

void ListeningPanel::play(std::size_t i) {
    if (i >= moments_.size() || !model_)
        return;
    const Moment& m = moments_[i];
    const std::int64_t from = std::max<std::int64_t>(0, m.offsetMs - 1000);
    player_.setLoop(loop_->isChecked()
                        ? std::optional(std::pair(from, m.offsetMs + m.lengthMs + 500))
                        : std::nullopt);
    if (Status s = player_.start(model_->folder / m.file, from); !s) {
        if (onStatus)
            onStatus(q("The recording cannot be played: " + s.error()));
        return;
    }
    if (onStatus)
        onStatus(q("Playing " + baseName(m.file) + " from " +
                   review::clockText(m.ms - (m.offsetMs - from)) +
                   (loop_->isChecked() ? ", looped" : "")));
}

void ListeningPanel::setSpeed(double speed) {
    notePlayed(); // the ledger keeps each stretch with the speed it was heard at
    player_.setSpeed(speed);
    const int i =
        int(std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) - std::begin(kSpeeds));
    if (i < 4 && speed_->currentIndex() != i)
        speed_->setCurrentIndex(i);
}

void ListeningPanel::setLoop(bool loop) {
    if (loop_->isChecked() != loop)
        loop_->setChecked(loop);
    if (!loop)
        player_.setLoop(std::nullopt);
}

// Where playback has got to, noted as heard: a stretch ends when the
// player stops, jumps (a loop, a new start) or changes speed.
void ListeningPanel::watchPlayback() {
    if (!model_)
        return;
    if (!windowPlays || !windowPlays())
        player_.poll();
    const auto position = player_.active() ? player_.positionMs() : std::nullopt;
    const std::string file =
        player_.active() ? player_.file().lexically_relative(model_->folder).generic_string() : "";
    if (!position) {
        if (!player_.active())
            notePlayed();
        return;
    }
    const auto at = position.value();
    if (file != playingFile_ || at < playedTo_ || at > playedTo_ + 5000) {
        notePlayed();
        playingFile_ = file;
        playedFrom_ = playedTo_ = at;
        return;
    }
    playedTo_ = at;
    for (std::size_t i = 0; i < recordings_.size(); ++i)
        if (recordings_[i]->file == playingFile_) {
            auto& t = strips_->tracks()[i];
            t.heard = review::joinSpans([&] {
                review::Spans s = t.heard;
                s.emplace_back(playedFrom_, playedTo_);
                return s;
            }());
            strips_->trackChanged(i);
        }
}

void ListeningPanel::notePlayed() {
    if (playedFrom_ >= 0 && playedTo_ > playedFrom_ && ledger_ && !playingFile_.empty()) {
        if (Status s = ledger_->played(playingFile_, playedFrom_, playedTo_, player_.speed(),
                                       systemLocalNow());
            !s && onStatus)
            onStatus(q(s.error()));
        showHeard();
    }
    playedFrom_ = playedTo_ = -1;
    playingFile_.clear();
}

void ListeningPanel::showHeard() {
    std::int64_t heard = 0, all = 0;
    for (std::size_t i = 0; i < recordings_.size(); ++i) {
        auto& t = strips_->tracks()[i];
        if (ledger_)
            t.heard = ledger_->heard(t.file);
        all += t.lengthMs;
        heard += std::llround(review::heardShare(t.heard, t.lengthMs) * double(t.lengthMs));
        strips_->trackChanged(i);
    }
    if (all > 0)
        heard_->setText(QString("Heard %1 % of the night's sound (%2 of %3)")
                            .arg(int(std::lround(100.0 * double(heard) / double(all))))
                            .arg(q(review::durationText(heard)), q(review::durationText(all))));
}

double ListeningPanel::heardShare() const {
    std::int64_t heard = 0, all = 0;
    for (const auto& t : strips_->tracks()) {
        all += t.lengthMs;
        heard += std::llround(review::heardShare(t.heard, t.lengthMs) * double(t.lengthMs));
    }
    return all > 0 ? double(heard) / double(all) : 0;
}

void ListeningPanel::mark(std::size_t i, const std::string& verdict, const std::string& note) {
    if (i >= moments_.size() || !ledger_)
        return;
    const Moment& m = moments_[i];
    Status s = ledger_->marked(m.file, m.offsetMs, m.offsetMs + m.lengthMs, verdict, note,
                               systemLocalNow());
    if (onStatus)
        onStatus(s ? q("Marked \"" + verdict + "\": " + review::clockText(m.ms)) : q(s.error()));
    showMoments();
    list_->setCurrentItem(list_->topLevelItem(int(i)));
}

void ListeningPanel::askKeep(std::size_t i) {
    auto* d = new QInputDialog(window_);
    d->setWindowTitle("Keep");
    d->setLabelText("A note on this moment:");
    d->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(d, &QInputDialog::textValueSelected, this, [this, i](const QString& note) {
        mark(i, review::kVerdictKeep, note.toStdString());
    });
    d->open();
}

void ListeningPanel::askExport() {
    if (!model_)
        return;
    const int i = chosen();
    auto* d = new QFileDialog(window_, "Export Moment", q(model_->folder.parent_path().string()));
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    d->setAttribute(Qt::WA_DeleteOnClose);
    const std::int64_t from = chart_.viewFrom(), to = chart_.viewTo();
    QObject::connect(d, &QFileDialog::fileSelected, this, [this, i, from, to](const QString& f) {
        if (i >= 0)
            exportMoment(std::size_t(i), f.toStdString());
        else
            exportStretch(from, to, f.toStdString());
    });
    d->open();
}

void ListeningPanel::exportMoment(std::size_t i, const fs::path& out) {
    if (i >= moments_.size())
        return;
    const Moment& m = moments_[i];
    exportStretch(m.ms - 1000, m.ms + m.lengthMs + 1000, out);
}

void ListeningPanel::exportStretch(std::int64_t fromMs, std::int64_t toMs, const fs::path& out) {
    if (!model_)
        return;
    if (onStatus)
        onStatus(q("Writing the moment " + out.string() + " ..."));
    sched_.expectResult();
    helper_.post(lifetime_.guard([this, model = model_, fromMs, toMs, out] {
        Status s = review::exportMoment(*model, fromMs, toMs - fromMs, out,
                                        evidence::isoTime(systemLocalNow()).substr(0, 10));
        sched_.postResult(lifetime_.guard([this, s, out] {
            if (onStatus)
                onStatus(s ? q("Moment written: " + out.string())
                           : q("The moment could not be written: " + s.error()));
            if (onExported)
                onExported(s);
        }));
    }));
}

void ListeningPanel::viewChanged() {
    const std::int64_t from = chart_.viewFrom(), to = chart_.viewTo();
    strips_->setView(from, to);
    if (to - from > kDetailSpanMs || !strips_->wantsDetail())
        return;
    for (std::size_t i = 0; i < recordings_.size(); ++i) {
        const auto& t = strips_->tracks()[i];
        if (!t.analysis || detailWanted_[i] || t.fromMs >= to || t.fromMs + t.lengthMs <= from ||
            strips_->detailCovers(i))
            continue;
        // Half a view more on either side, so that a small pan needs no more.
        const std::int64_t span = to - from;
        fetchDetail(i, std::max<std::int64_t>(0, from - span / 2 - t.fromMs),
                    std::min(t.lengthMs, to + span / 2 - t.fromMs));
    }
}

void ListeningPanel::fetchDetail(std::size_t track, std::int64_t fromMs, std::int64_t toMs) {
    detailWanted_[track] = true;
    sched_.expectResult();
    helper_.post(lifetime_.guard(
        [this, track, bag = model_->folder, file = recordings_[track]->file, fromMs, toMs] {
            std::shared_ptr<const review::Spectrogram> detail;
            if (auto src = review::openBagSound(bag, file)) {
                const int rate = (*src)->rate();
                auto d = review::detailSpectrogram(
                    **src, std::uint64_t(fromMs) * std::uint64_t(rate) / 1000,
                    std::uint64_t(toMs - fromMs) * std::uint64_t(rate) / 1000, &stop_);
                if (d)
                    detail = std::make_shared<const review::Spectrogram>(std::move(*d));
            }
            sched_.postResult(lifetime_.guard([this, track, detail] {
                detailWanted_[track] = false;
                if (detail) {
                    strips_->tracks()[track].detail = detail;
                    strips_->trackChanged(track);
                }
                // The view may have moved on meanwhile.
                if (detail)
                    viewChanged();
            }));
        }));
}

} // namespace kestle::ui
