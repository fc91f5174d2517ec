// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Listening to a night in the review window: the spectrogram strips under
// the plots, the ranked moments beside the event list, playback of a moment
// from a second before it (at 0.5x to 2x, pitch kept, or looped), the
// review ledger (what was played, moments marked "heard, nothing" or
// "keep" with a note, and how much of each recording and of the night has
// been heard) and "Export Moment...".
//
// Recordings are analysed, zooms' details made, moments ranked and moment
// bags written on worker threads; results come back through the panel's
// scheduler (expectResult/postResult), guarded by its Lifetime, and the
// workers stop at once when the window closes. Window thread only.
#include "review/moments.h"
#include "review/recording_player.h"
#include "review/review_ledger.h"
#include "review/session_model.h"
#include "support/lifetime.h"
#include "support/worker_thread.h"
#include "ui/qt_scheduler.h"
#include "ui/spectrogram_strip.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace kestle::ui {

class ReadingsChart;

class ListeningPanel : public QObject {
  public:
    // `player` and `chart` belong to `window`, which outlives the panel and
    // takes its widgets into its layout.
    ListeningPanel(ReadingsChart& chart, review::RecordingPlayer& player, QWidget* window);
    ~ListeningPanel() override;

    SpectrogramStrips* strips() { return strips_; }
    QWidget* momentsBox() { return box_; }

    void setSession(std::shared_ptr<const review::SessionModel> model);
    // Every recording analysed (or failed) and the moments ranked.
    bool analysed() const { return analysed_; }
    const std::vector<review::Moment>& moments() const { return moments_; }
    Scheduler& scheduler() { return sched_; }
    const std::optional<review::ReviewLedger>& ledger() const { return ledger_; }

    // The word whose times make moments near them rank higher.
    void chooseWord(const std::string& word);
    // Plays moment `i` (of moments()) from a second before it.
    void play(std::size_t i);
    void setSpeed(double speed);
    void setLoop(bool loop);
    // Marks moment `i` with a verdict (review::kVerdictKeep or kVerdictNothing).
    void mark(std::size_t i, const std::string& verdict, const std::string& note);
    // Writes moment `i` (a second either side), or the stretch [from, to),
    // as a moment bag at `out` on a worker; told to onExported.
    void exportMoment(std::size_t i, const std::filesystem::path& out);
    void exportStretch(std::int64_t fromMs, std::int64_t toMs, const std::filesystem::path& out);
    // The moment chosen in the list, or -1.
    int chosen() const;
    // "Export Moment...": the chosen moment, else the stretch in view.
    void askExport();
    // The share of the night's sound heard, 0..1.
    double heardShare() const;

    // True while the window drives the player itself (its "Play Recording"):
    // then the panel only watches where it has got to and never polls it,
    // so that the window sees the end it waits for.
    std::function<bool()> windowPlays;
    std::function<void()> onAnalysed;
    std::function<void(const Status&)> onExported;
    std::function<void(const QString&)> onStatus;

  private:
    void analyse(std::size_t track);
    void rank();
    void showMoments();
    void viewChanged();
    void fetchDetail(std::size_t track, std::int64_t fromMs, std::int64_t toMs);
    void watchPlayback();
    void notePlayed();
    void showHeard();
    void askKeep(std::size_t i);

    ReadingsChart& chart_;
    review::RecordingPlayer& player_;
    QWidget* window_;
    QtScheduler sched_;
    std::shared_ptr<const review::SessionModel> model_;
    std::vector<const review::Event*> recordings_;
    std::optional<review::ReviewLedger> ledger_;
    std::vector<review::Moment> moments_;
    std::string word_;
    bool analysed_ = false;
    std::size_t pending_ = 0; // analyses not back yet
    std::vector<bool> detailWanted_;
    // Playback being noted in the ledger: which file, from where, how far.
    QTimer watch_;
    std::string playingFile_;
    std::int64_t playedFrom_ = -1, playedTo_ = -1;

    SpectrogramStrips* strips_;
    QWidget* box_;
    QLabel* heard_;
    QLineEdit* wordBox_;
    QTreeWidget* list_;
    QComboBox* speed_;
    QCheckBox* loop_;

    std::atomic<bool> stop_{false};
    Lifetime lifetime_;
    // Last: they end first. Analyses and ranking on one, the details of
    // zooms and the moment bags on the other, so that a zoom never waits
    // behind a night's analysis.
    WorkerThread analyser_, helper_;
};

} // namespace kestle::ui
