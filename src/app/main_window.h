#pragma once
// The main window's logic: its forms, variables and handlers, the load
// sequence, the three shutdown paths and the menu locking. Runs the same in
// a window, headless, and in tests. Window thread only.
#include "app/options.h"
#include "app/paths.h"
#include "app/ui_host.h"
#include "capture/capture_controls.h"
#include "forms/main_form.h"
#include "forms/main_state.h"
#include "forms/variables.h"
#include "records/log_files.h"
#include "support/rng.h"
#include "support/scheduler.h"

#include <functional>
#include <memory>

namespace kestle::app {

class MainWindow {
  public:
    MainWindow(Scheduler& sched, UiHost& host, Paths paths, Options options);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Start-up: the disclaimer form loads first and decides whether the main
    // window opens at once.
    void start();

    // The application has ended (Exit, closing, Disagree); the driver stops.
    bool ended() const { return ended_; }
    std::function<void()> onEnded;

    // Steps of the load and shutdown sequences that belong to the device
    // link and the word lists; set by whoever owns those.
    std::function<void()> onConnectHid, onDisconnectHid, onLoadList, onCloseUserList;

    forms::MainForm& main() { return main_; }
    forms::SplashForm& splash() { return splash_; }
    forms::AboutForm& about() { return about_; }
    forms::Vid2Form& vid2() { return vid2_; }
    forms::CVForm& cvform() { return cvform_; }
    forms::MainState& state() { return st_; }
    const forms::Variables& variables() const { return vars_; }
    forms::Form* formByName(const std::string& name);
    const Paths& paths() const { return paths_; }
    Scheduler& scheduler() { return sched_; }
    UiHost& host() { return host_; }
    Rnd& rnd() { return rnd_; }
    capture::AudioControl& audio() { return *audio_; }
    capture::VideoControl& video() { return *video_; }
    records::LogFiles& logs() { return logs_; }

    // Handlers named after their controls.
    void Form_Load();
    void exout_Click();
    void Form_Unload();
    void Form_Terminate();
    void menuon();
    void menuoff();
    void logfileon_Click();
    void abdd_Click();
    // Ends the application without the shutdown steps ("Disagree").
    void endWithoutSaving();
    void usedd_Click();

    // Settings file.
    void readini();
    Status writeini();
    int splashCounter() const { return splashCounter_; }

  private:
    void wireHandlers();
    void registerVariables();
    void shutdown(bool unloadForms);
    void cmdSysInfo_Click();
    void splashAgree();
    void showMain();

    Scheduler& sched_;
    UiHost& host_;
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
    std::unique_ptr<capture::AudioControl> audio_;
    std::unique_ptr<capture::VideoControl> video_;
    std::int16_t splashCounter_ = 0;
    bool ended_ = false;
};

} // namespace kestle::app
