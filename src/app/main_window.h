// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's logic: its forms, variables and handlers, the load
// sequence, the three shutdown paths and the menu locking. Runs the same in
// a window, headless, and in tests. Window thread only.
#include "app/backends.h"
#include "app/options.h"
#include "app/paths.h"
#include "capture/capture_controls.h"
#include "device/acquisition.h"
#include "device/hid_link.h"
#include "ecm/qa_session.h"
#include "ecm/speech.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/ui_host.h"
#include "forms/variables.h"
#include "records/log_files.h"
#include "support/rng.h"
#include "support/scheduler.h"
#include "support/session_events.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kestle::ecm {
class WordEngine;
} // namespace kestle::ecm
namespace kestle::records {
class Records;
} // namespace kestle::records
namespace kestle::capture {
class AlarmCapture;
class CaptureMenu;
class CallLogAudio;
class CallLogVideo;
class SetupForm;
} // namespace kestle::capture

namespace kestle::app {

using forms::kAppTitle;
using forms::UiHost;

class MainWindow {
  public:
    // `backends` come from makeBackends (owned from here on); the capture
    // controls are wrapped in the call log, the speech in its announcer, so
    // headless runs print their calls.
    MainWindow(Scheduler& sched, UiHost& host, Paths paths, Options options, Backends backends);
    // The same, publishing into `events` (which outlives the window) rather
    // than a stream of its own.
    MainWindow(Scheduler& sched, UiHost& host, events::SessionEvents& events, Paths paths,
               Options options, Backends backends);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Start-up: the disclaimer form loads first and decides whether the main
    // window opens at once.
    void start();

    // The application has ended (Exit, closing, Disagree); the driver stops.
    bool ended() const { return ended_; }
    std::function<void()> onEnded;
    // Told when the main form is about to load (after the disclaimer).
    std::function<void()> onLoad;

    // Steps of the load and shutdown sequences that belong to the word lists.
    std::function<void()> onLoadList, onCloseUserList;

    forms::MainForm& main() { return main_; }
    forms::SplashForm& splash() { return splash_; }
    forms::AboutForm& about() { return about_; }
    forms::Vid2Form& vid2() { return vid2_; }
    forms::CVForm& cvform() { return cvform_; }
    forms::MainState& state() { return st_; }
    const forms::Variables& variables() const { return vars_; }
    forms::Form* formByName(const std::string& name);
    // How a script names a control: NAME on the main form, FORM.NAME elsewhere.
    std::string scriptName(const forms::Control& c) const;
    // An operator's own action in the window, as the script command that
    // repeats it (`verb`, the control's script name, `arg` if any), told as
    // an events::Action before the action runs.
    void operatorAction(const forms::Control& c, std::string_view verb, std::string_view arg = {});
    const Paths& paths() const { return paths_; }
    Scheduler& scheduler() { return sched_; }
    // What happens in the session, as data (see support/session_events.h).
    events::SessionEvents& events() { return events_; }
    void publish(const events::Event& e) { events_.publish(e); }
    // Puts a mark into the session now: `note` may be empty; `by` says who
    // made it ("window", "script", or the name a paired device gave).
    // Window thread only.
    void mark(std::string note, std::string by);
    UiHost& host() { return host_; }
    Rnd& rnd() { return rnd_; }
    capture::AudioControl& audio();
    capture::VideoControl& video();
    records::LogFiles& logs() { return logs_; }
    device::HidLink& link() { return *backends_.link; }
    device::Acquisition& acquisition() { return *acq_; }
    ecm::QaSession& qa() { return *qa_; }
    ecm::WordEngine& words() { return *ecm_; }
    records::Records& records() { return *records_; }

    // Handlers named after their controls.
    void Form_Load();
    void exout_Click();
    void Form_Unload();
    void Form_Terminate();
    void menuon();
    void menuoff();
    void abdd_Click();
    // Ends the application without the shutdown steps ("Disagree").
    void endWithoutSaving();
    // "Exit" (a script's quit or its end), and the end by a signal: the
    // shutdown of the main window, or of the disclaimer before it opened.
    void quit();
    void terminate();
    void usedd_Click();
    // Finishes the sound and video recordings (the data folder is gone).
    void stopRecordings();

    // Settings file.
    void readini();
    Status writeini();
    int splashCounter() const { return splashCounter_; }

  private:
    void wireHandlers();
    // Publishes what the parts of the window tell (words, questions, plugs,
    // alarms, captures) as session events.
    void wireEvents();
    // Builds and wires the word engine and speech (wire_ecm.cpp), the
    // records and the capture (wire_records.cpp); called once by the
    // constructor.
    void wireEcm();
    void wireRecords();
    void wireCapture();
    // The set-up form's load: its designed state goes to the controls
    // without being printed.
    void loadSetupForm();
    // Runs `fn` with the capture call log quiet.
    void unlogged(const std::function<void()>& fn);
    void registerVariables();
    void shutdown(bool unloadForms);
    void cmdSysInfo_Click();
    void splashAgree();
    void showMain();

    Scheduler& sched_;
    UiHost& host_;
    // Before everything that publishes into it.
    std::unique_ptr<events::SessionEvents> ownEvents_;
    events::SessionEvents& events_;
    // Speech and capture calls as the host's event lines (headless output).
    events::SessionEvents::Subscription hostLines_;
    Paths paths_;
    Options options_;
    forms::MainForm main_;
    forms::SplashForm splash_;
    forms::AboutForm about_;
    forms::Vid2Form vid2_;
    forms::CVForm cvform_;
    forms::MainState st_;
    forms::Variables vars_;
    records::LogFiles logs_;
    Rnd rnd_;
    Backends backends_;
    std::unique_ptr<capture::CallLogAudio> audio_;
    std::unique_ptr<capture::CallLogVideo> video_;
    std::unique_ptr<device::Acquisition> acq_;
    std::unique_ptr<ecm::QaSession> qa_;
    std::unique_ptr<ecm::Speech> speech_;
    std::unique_ptr<ecm::WordEngine> ecm_;
    std::unique_ptr<records::Records> records_;
    std::unique_ptr<capture::AlarmCapture> alarmCapture_;
    std::unique_ptr<capture::CaptureMenu> captureMenu_;
    std::unique_ptr<capture::SetupForm> setupForm_;
    std::int16_t splashCounter_ = 0;
    bool ended_ = false;
};

} // namespace kestle::app
