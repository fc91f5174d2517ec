// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sealed session looked at: "Session Review - <folder>", the readings and
// events of the whole night on one time axis (ReadingsChart), the list of
// markers, what a chosen marker holds (its text, its picture), a warning
// that says what failed when the bag does not verify, and "Write Report...".
// The bag is read, pictures are loaded and the report is written on a
// worker thread; results come back to the window thread. Window thread only.
#include "review/alarm_episodes.h"
#include "review/recording_player.h"
#include "review/session_model.h"
#include "support/result.h"
#include "support/worker_thread.h"

#include <QMainWindow>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestle::ui {

class ReadingsChart;
class ListeningPanel;

class ReviewWindow : public QMainWindow {
  public:
    explicit ReviewWindow(std::filesystem::path bag, QWidget* parent = nullptr);
    ~ReviewWindow() override;

    // Null until the bag has been read (or when it could not be). The night
    // is shown first; the bag's verification (hashing every file) follows.
    const review::SessionModel* model() const { return model_.get(); }
    bool verified() const { return verified_; }
    ReadingsChart& chart() { return *chart_; }
    // The warning shown over the plots; empty when the bag verifies.
    QString warning() const;
    // What the chosen marker shows, and whether its picture is in view.
    QString details() const;
    bool showsPicture() const;
    // Chooses a marker (index into chart().markers()) as a click does.
    void choose(int marker);
    // Writes the report to `pdf` on the worker; told in the status line and
    // to onReportWritten.
    void writeReport(const std::filesystem::path& pdf);
    std::function<void(const Status&)> onReportWritten;
    // Plays the chosen recording from its start on the sink of
    // review::audioSinkName(); the status line tells where it has got to.
    void playChosen();
    review::RecordingPlayer& player() { return player_; }
    // The sound of the night: spectrograms, moments, the review ledger.
    ListeningPanel& listening() { return *listening_; }
    // Told when the bag has been read (or could not be), and when verified.
    std::function<void()> onLoaded, onVerified;

  protected:
    void changeEvent(QEvent* e) override;

  private:
    void colourBanner();
    void loaded(Result<review::SessionModel> r);
    void showProblems(const std::vector<std::string>& problems);
    void showWarning();
    void askReportFile();
    void showPicture(const QImage& image);
    void listTrips(QTreeWidgetItem* episodeRow);

    std::filesystem::path bag_;
    std::shared_ptr<const review::SessionModel> model_;
    ReadingsChart* chart_;
    QLabel* banner_;
    // One row a marker; an alarm episode's row opens to its trips.
    QTreeWidget* list_;
    std::vector<review::AlarmEpisode> episodes_;
    std::map<int, std::size_t> episodeOf_; // marker -> its episode
    QLabel* details_;
    QLabel* picture_;
    QPushButton* play_;
    review::RecordingPlayer player_;
    QTimer playing_;
    QString playingName_;
    std::optional<review::Playback> playback_; // what Play Recording plays
    int chosen_ = -1;
    bool verified_ = false;
    std::vector<std::string> problems_;
    // The verification's result for the verifier's later tasks (reports):
    // written and read on the verifier only.
    std::shared_ptr<std::vector<std::string>> workerProblems_ =
        std::make_shared<std::vector<std::string>>();
    // Ends before the player it plays on.
    std::unique_ptr<ListeningPanel> listening_;
    // Set when the window goes: its reading, verification and report end
    // between two chunks, not after the whole bag.
    evidence::StopFlag stop_ = evidence::makeStopFlag();
    // Last: they end first, while the window still stands. The verifier
    // hashes the bag, then writes the reports (which say its result); the
    // worker reads the bag and the pictures.
    WorkerThread verifier_, worker_;
};

// "Review Session...": a folder dialog (not modal) from `startDir`, then a
// review window of the folder chosen.
void chooseSessionToReview(QWidget* parent, const std::filesystem::path& startDir);

} // namespace kestle::ui
