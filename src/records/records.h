// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Alarms, the log stage and the screen text commands of the main window:
// the twelve alarm limits and their checks, the three log switches and the
// rows of get_data, "Capture Display", "Clear Display", "Review Screen
// text" and "View Logs and Screen Shots".
//
// Threads: window thread only (handlers, stages and dialog callbacks).
// Ownership: Records keeps references to everything it is given; all of it
// must outlive the Records object. The constructor installs the handlers of
// the alarm items, the log items and the two display buttons on the form.
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/ui_host.h"
#include "records/log_files.h"
#include "support/file_names.h"
#include "support/result.h"
#include "support/scheduler.h"
#include "support/session_events.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace kestle::records {

// Draws a screen capture: the capture background, the text printed from
// the top left corner, stored as a JPEG file at `jpegPath` (an existing file
// is replaced). On failure nothing is left at the path and the error holds
// the reason only; the caller names the file.
class ScreenRenderer {
  public:
    virtual ~ScreenRenderer() = default;
    virtual Status render(const std::string& utf8Text, const std::filesystem::path& jpegPath) = 0;
};

// For builds and tests without a picture toolkit: writes nothing.
class NoPictureOutput : public ScreenRenderer {
  public:
    Status render(const std::string&, const std::filesystem::path&) override {
        return Error{"picture output is not available"};
    }
};

// The screen capture pictures of this process: drawn with Qt where the
// process has a Qt GUI application (also offscreen, headless), else none.
std::unique_ptr<ScreenRenderer> makeScreenRenderer();

// Suffix of a screen capture's file name (the name carries no trailing blank).
inline constexpr const char* kScreenSuffix = " CVSCREEN.jpg";

class Records {
  public:
    // `dataDir` is the data folder in use (`appath` is its text). `renderer`
    // draws "Capture Display". `currentWord` gives the word chosen in the
    // current get_data call, empty when none was chosen; it may be empty.
    Records(forms::MainForm& f, forms::CVForm& cv, forms::MainState& st, forms::UiHost& host,
            LogFiles& logs, Scheduler& sched, std::filesystem::path dataDir,
            ScreenRenderer& renderer, std::function<std::string()> currentWord);
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;

    // Alarm items: `n` is 0-11 in check order (Alarm1 ... alarm12). Opens
    // the "Alarm Settings" input box; the answer sets the check mark and
    // the limit.
    void alarmClick(int n);
    // "Show Alarm Window".
    void alarm13_Click();
    // Filters `tem` in place: only "." and the digits stay.
    void numstring();

    // The log switches. A log that cannot be opened stays unchecked and a
    // message names the file and the reason.
    void logfileon_Click();
    void logfilerf_Click();
    void logalarm_Click();
    // The start-up call of "Data Log On": a failure is told in the status line.
    void startDataLog();

    // Stages of get_data, in this order.
    void logStage();
    void alarmStage();
    // "Capture Display": also the automatic capture of a full display.
    void saveDisplay() { Save_Main_display_Click(); }
    // The question line of a question asked while "Data Log On" is checked;
    // `q` is the question box's whole text, line end included.
    void writeQuestionLine(const std::string& q);

    // Told the row of every log stage, logged or not (the live chart): the
    // row either log would get. Empty: no row is made for it.
    std::function<void(const std::string& row)> onReading;
    // Told the limits each alarm stage found tripped (none: not told), and
    // each screen capture stored (its file).
    std::function<void(events::Alarm)> onAlarm;
    std::function<void(const std::string& file)> onScreenCapture;

    // Alarm-tripped flag of the last alarm stage: 0 or 1.
    int alarmTripped() const { return alarmTripped_; }

    void Save_Main_display_Click();
    void clear_main_Click();
    void logtext_Click();
    void veiwall_Click();

  private:
    void switchLog(Log log, forms::Control* item, bool reportFailure);
    // One line to an open log; a failed write unchecks `item` and tells once.
    void writeLog(Log log, forms::Control* item, const std::string& text);
    std::string timeStamp() const;
    // `tem` := the file-safe time stamp (swapstring).
    void stampTem();
    std::string logRow();

    forms::MainForm& f_;
    forms::CVForm& cv_;
    forms::MainState& st_;
    forms::UiHost& host_;
    LogFiles& logs_;
    Scheduler& sched_;
    std::filesystem::path dataDir_;
    std::string appath_;
    ScreenRenderer& renderer_;
    std::function<std::string()> currentWord_;
    int alarmTripped_ = 0;
};

} // namespace kestle::records
