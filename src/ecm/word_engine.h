// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ECM on the main window: the word list handlers, the word step of get_data,
// speech calls, "Speech On", typed text in Text1, and the phoneme engine
// with its time-slice run.
//
// Threads: window thread only. Ownership: the engine keeps references to
// everything it is given; all of them must outlive it. While a time-slice
// step may be suspended in the acquisition's waiter, destroy (or cancel) the
// acquisition before the engine, so the waiter never resumes a dead frame.
#include "device/acquisition.h"
#include "device/task.h"
#include "ecm/speech.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/ui_host.h"
#include "support/lifetime.h"
#include "support/result.h"
#include "support/rng.h"
#include "support/scheduler.h"
#include "support/worker_thread.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kestle::ecm {

// Wait values (dtimer units) after spoken output.
inline constexpr int kWaitAfterWord = 500;
inline constexpr int kWaitAfterPiece = 600;   // phoneme piece, breaks on
inline constexpr int kWaitAfterString = 1500; // phoneme string, breaks off
// fword is output once it is longer than this many characters.
inline constexpr std::size_t kPieceLength = 4;
inline constexpr std::size_t kStringLength = 40;
// Time-slice random mode waits this long (dtimer units) after its draws.
inline constexpr int kRandomSliceWait = 200;

class WordEngine {
  public:
    // Wires the handlers of usr, lcontrol(0/1), phoneon, phbrake, HSPh,
    // tsphone, rsphone, speechON and Text1 (change). `userListPath` is the
    // user word list file; messages name it as given. The user list is read
    // on a thread of its own and comes back through `sched`.
    WordEngine(Scheduler& sched, forms::MainForm& f, forms::MainState& st, forms::UiHost& host,
               device::Acquisition& acq, Rnd& rnd, Speech& speech,
               std::filesystem::path userListPath);
    WordEngine(const WordEngine&) = delete;
    WordEngine& operator=(const WordEngine&) = delete;

    // Word lists. loadlist appends the default list without clearing.
    void loadlist();
    // Clears the list and starts reading the user list file; the entries
    // (or the failure message and the default list) follow once it is read.
    // A later list change drops a read still under way.
    void userlist();
    void usr_Click();
    void lcontrol_Click(int index); // 0 Shuffle, 1 Restore
    void phoneon_Click();

    // The word step for each checked ECM mode, in mode order, with one
    // event turn after each mode's turn. Runs inside get_data.
    device::Task wordStage();
    // The current word of the last word stage without its added line end,
    // for the data log; empty when that stage chose no word.
    std::string lastWord() const { return lastWord_; }
    // Told of each word chosen: the mode (0 volts, 1 frequency, 2 field)
    // and the level whose position chose it.
    std::function<void(int mode, std::int32_t level, const std::string& word)> onWordChosen;

    // Phoneme menu items.
    void phbrake_Click();
    void HSPh_Click();
    void tsphone_Click();
    void rsphone_Click();
    // An htime tick: starts one time-slice step, unless the previous step
    // or a cycle is still waiting on the link.
    void htime_Tick();
    // One time-slice step: four values from the Kestle or at random, and
    // each ticked voice whose value changed speaks the entry at its value.
    device::Task phoneme();
    bool phonemeRunning() const { return step_.valid() && !step_.done(); }

    // Speech switch and typed text.
    void speechON_Click();
    void Text1_Change();

  private:
    device::Task wordStep(int mode);
    device::Task outputFword(int wait, bool quietWhenOff);
    void timeSlice(forms::Control* own, forms::Control* other);
    void leaveTimeSlice(forms::Control* own);
    void resetVoiceBoxes();
    void showReadingPanels(bool show);
    void rebuildList(const std::vector<std::string>& entries);
    struct UserListRead {
        Result<std::vector<std::string>> entries = Error{};
        bool missing = false;
    };
    void userlistRead(const UserListRead& read);
    void speak(int voice, const std::string& text);
    void quiet(int voice);
    void reportSpeechError();

    Scheduler& sched_;
    forms::MainForm& f_;
    forms::MainState& st_;
    forms::UiHost& host_;
    device::Acquisition& acq_;
    Rnd& rnd_;
    Speech& speech_;
    std::filesystem::path userListPath_;
    std::string lastWord_;
    device::Task step_;
    bool speechErrorShown_ = false;
    bool noAnswerShown_ = false;
    unsigned listChange_ = 0; // a user list read applies only if nothing changed since
    Lifetime life_;           // the list read's result finds it ended once the engine goes
    std::unique_ptr<WorkerThread> reader_; // last: it ends before the members it uses
};

} // namespace kestle::ecm
