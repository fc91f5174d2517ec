// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include "app/inifile.h"
#include "capture/alarm_capture.h"
#include "capture/call_log.h"
#include "capture/capture_menu.h"
#include "capture/setup_form.h"
#include "ecm/word_engine.h"
#include "records/records.h"
#include "support/convert.h"
#include "support/quote.h"
#include "support/textfile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace kestle::app {

namespace fs = std::filesystem;

MainWindow::MainWindow(Scheduler& sched, UiHost& host, Paths paths, Options options,
                       Backends backends)
    : MainWindow(sched, host, *new events::SessionEvents, std::move(paths), std::move(options),
                 std::move(backends)) {
    ownEvents_.reset(&events_);
}

MainWindow::MainWindow(Scheduler& sched, UiHost& host, events::SessionEvents& events, Paths paths,
                       Options options, Backends backends)
    : sched_(sched), host_(host), events_(events), paths_(std::move(paths)),
      options_(std::move(options)), main_(sched), backends_(std::move(backends)) {
    auto sink = [this](const std::string& call) { publish(events::CaptureCall{call}); };
    audio_ = std::make_unique<capture::CallLogAudio>(*backends_.audio, sink);
    video_ = std::make_unique<capture::CallLogVideo>(*backends_.video, sink);
    acq_ = std::make_unique<device::Acquisition>(sched_, host_, *backends_.link, main_, st_);
    qa_ = std::make_unique<ecm::QaSession>(main_, st_, host_, *audio_);
    wireHandlers();
    wireEcm();
    wireRecords();
    wireCapture();
    wireEvents();
    registerVariables();
}

MainWindow::~MainWindow() {
    // The cycle and the link go before the forms they write to.
    acq_.reset();
    ecm_.reset();
    setupForm_.reset();
    captureMenu_.reset();
    alarmCapture_.reset();
    records_.reset();
}

forms::Form* MainWindow::formByName(const std::string& name) {
    for (forms::Form* f :
         std::initializer_list<forms::Form*>{&main_, &splash_, &about_, &vid2_, &cvform_}) {
        if (f->name() == name)
            return f;
    }
    return nullptr;
}

std::string MainWindow::scriptName(const forms::Control& c) const {
    if (&c.form() == &main_)
        return c.name();
    return c.form().name() + "." + c.name();
}

void MainWindow::operatorAction(const forms::Control& c, std::string_view verb,
                                std::string_view arg) {
    std::string command(verb);
    command += ' ';
    command += scriptName(c);
    if (!arg.empty()) {
        command += ' ';
        command += arg;
    }
    publish(events::Action{command});
}

void MainWindow::mark(std::string note, std::string by) {
    publish(events::Mark{std::move(note), std::move(by)});
}

void MainWindow::wireEvents() {
    hostLines_ = events_.subscribe([this](const events::Event& e) {
        if (auto* c = std::get_if<events::CaptureCall>(&e))
            host_.event("CAPTURE " + c->call);
        else if (auto* s = std::get_if<events::Speech>(&e))
            host_.event("SPEAK " + std::to_string(s->voice) + " " + quoteText(s->text));
        else if (auto* q = std::get_if<events::Quiet>(&e))
            host_.event("QUIET " + std::to_string(q->voice));
        else if (auto* m = std::get_if<events::Mark>(&e))
            host_.event("MARK " + quoteText(m->note) + " " + quoteText(m->by));
    });
    ecm_->onWordChosen = [this](int mode, std::int32_t level, const std::string& word) {
        publish(events::Word{word, mode, level});
    };
    qa_->onQuestion = [this](const std::string& q) { publish(events::Question{q}); };
    acq_->onPresence = [this](bool plugged) {
        publish(plugged ? events::Event(events::Plug{}) : events::Event(events::Unplug{}));
    };
    records_->onAlarm = [this](events::Alarm a) { publish(a); };
    records_->onScreenCapture = [this](const std::string& file) {
        publish(events::ScreenCapture{file});
    };
    auto recorded = [this](const capture::RecordingNotice& n) {
        const auto media = n.source == capture::CaptureError::Source::Audio ? events::Media::Audio
                                                                            : events::Media::Video;
        if (n.finished)
            publish(events::RecordingFinished{media, n.file, n.problem});
        else
            publish(events::RecordingStarted{media, n.file});
    };
    audio_->setRecordingHandler(recorded);
    video_->setRecordingHandler(recorded);
}

void MainWindow::wireHandlers() {
    splash_.Command1->onClick = [this] { splashAgree(); };
    splash_.Command2->onClick = [this] { endWithoutSaving(); };

    main_.exout->onClick = [this] { exout_Click(); };
    main_.abdd->onClick = [this] { abdd_Click(); };
    main_.usedd->onClick = [this] { usedd_Click(); };
    about_.cmdOK->onClick = [this] { about_.setShown(false); };
    about_.cmdSysInfo->onClick = [this] { cmdSysInfo_Click(); };
}

void MainWindow::registerVariables() {
    using forms::VarValue;
    auto num = [this](const char* name, auto getter) {
        vars_.add(name, [getter] { return VarValue(static_cast<double>(getter())); });
    };
    auto text = [this](const char* name, auto getter) {
        vars_.add(name, [getter] { return VarValue(std::string(getter())); });
    };
    num("state", [this] { return st_.state; });
    num("dataread", [this] { return st_.dataread; });
    num("repeat_word", [this] { return st_.repeat_word; });
    num("offset", [this] { return st_.offset; });
    num("rfid", [this] { return st_.rfid; });
    num("nag", [this] { return st_.nag; });
    num("tcal", [this] { return st_.tcal; });
    text("mcal", [this] { return st_.mcal; });
    text("appath", [this] { return st_.appath; });
    text("tem", [this] { return st_.tem; });
    num("usword", [this] { return st_.usword; });
    num("session", [this] { return st_.session; });
    num("Asession", [this] { return st_.Asession; });
    num("Bsession", [this] { return st_.Bsession; });
    num("aud", [this] { return st_.aud; });
    for (std::size_t i = 0; i < forms::kAlarmLimitNames.size(); ++i)
        text(forms::kAlarmLimitNames[i], [this, i] { return st_.alarmLimits[i]; });
    // Readings and working values of the last get_data call; an unset
    // working value dumps as the empty text.
    auto opt = [this](const char* name, auto getter) {
        vars_.add(name, [getter] {
            auto v = getter();
            return v ? VarValue(static_cast<double>(*v)) : VarValue(std::string());
        });
    };
    num("ava1", [this] { return st_.ava1; });
    num("avb1", [this] { return st_.avb1; });
    num("mag", [this] { return st_.mag; });
    text("emfA", [this] { return st_.emfA; });
    text("emfB", [this] { return st_.emfB; });
    opt("frequencya", [this] { return st_.frequencya; });
    opt("frequencyb", [this] { return st_.frequencyb; });
    opt("frequencyav", [this] { return st_.frequencyav; });
    opt("rfhit", [this] { return st_.rfhit; });
    opt("nochange", [this] { return st_.nochange; });
    num("threshold", [this] { return st_.threshold; });
    num("oldthreshold", [this] { return st_.oldthreshold; });
    num("trend", [this] { return st_.trend; });
    num("Temp", [this] { return st_.Temp; });
    text("tempf", [this] { return st_.tempf; });
    text("emfC", [this] { return st_.emfC; });
    text("emfD", [this] { return st_.emfD; });
    text("emfE", [this] { return st_.emfE; });
    text("emfF", [this] { return st_.emfF; });
    text("nemf", [this] { return st_.nemf; });
    text("emfav", [this] { return st_.emfav; });
    num("done_talk", [this] { return st_.done_talk; });
    num("historyPos", [this] { return st_.historyPos; });
    text("fword", [this] { return st_.fword; });
    num("ch1", [this] { return st_.ch1; });
    num("ch2", [this] { return st_.ch2; });
    num("ch3", [this] { return st_.ch3; });
    num("ch4", [this] { return st_.ch4; });
    auto hex = [](const std::array<std::uint8_t, 9>& b) {
        static const char* digits = "0123456789ABCDEF";
        std::string r;
        for (std::uint8_t x : b) {
            if (!r.empty())
                r += ' ';
            r += digits[x >> 4];
            r += digits[x & 15];
        }
        return r;
    };
    text("inbuf", [this, hex] { return hex(st_.inbuf); });
    text("outbuf", [this, hex] { return hex(st_.outbuf); });
    for (int i = 0; i <= 100; ++i) {
        std::string n = "history(" + std::to_string(i) + ")";
        vars_.add(n, [this, i] {
            return VarValue(static_cast<double>(st_.history[static_cast<std::size_t>(i)]));
        });
    }
    for (int i = 0; i < 121; ++i) {
        auto idx = static_cast<std::size_t>(i);
        const std::string n = "(" + std::to_string(i) + ")";
        vars_.add("scopeab" + n, [this, idx] {
            return VarValue(static_cast<double>(acq_->traces().scopeab[idx]));
        });
        vars_.add("scopea" + n, [this, idx] {
            return VarValue(static_cast<double>(acq_->traces().scopea[idx]));
        });
        vars_.add("scopeb" + n, [this, idx] {
            return VarValue(static_cast<double>(acq_->traces().scopeb[idx]));
        });
    }
    vars_.add("scopelines",
              [this] { return VarValue(static_cast<double>(acq_->scopeLines().size())); });
    // The disclaimer form's own counter.
    vars_.add("frmSplash.nag", [this] { return VarValue(static_cast<double>(splashCounter_)); });
}

void MainWindow::start() {
    // The settings live in the application folder: it is made when missing,
    // and a folder that cannot keep them is told once, before anything is lost.
    std::error_code ec;
    fs::create_directories(paths_.appDir, ec);
    // A save that was killed half way left its temporary file behind.
    removeStaleTemporaries(paths_.settingsFile());
    // A first start (an installed copy's, or in a folder given with
    // --app-dir): its settings begin with the overlay picture it has, which
    // the settings read would otherwise empty. A failure here is told by
    // the read below.
    if (!fs::exists(paths_.settingsFile(), ec) && fs::is_regular_file(paths_.overlayPicture(), ec))
        (void)INIwrite(paths_.settingsFile(), "VIDEO", "V3", paths_.overlayPicture().string());
    // The disclaimer form is the start-up object; its load reads one key.
    splashCounter_ = 0;
    if (auto v = INIread(paths_.settingsFile(), "NAG", "NAGSCREEN"); v.ok()) {
        if (auto n = toInt16(*v))
            splashCounter_ = *n;
        if (::access(paths_.appDir.c_str(), W_OK | X_OK) != 0)
            host_.status("The settings will not be saved at exit: cannot write in " +
                         paths_.appDir.string() + ": " + std::strerror(errno));
    } else {
        host_.status("The settings could not be read; the program goes on with its default "
                     "settings: " +
                     v.error());
    }
    if (splashCounter_ > 0) {
        showMain();
        return;
    }
    splash_.setShown(true);
}

void MainWindow::endWithoutSaving() {
    splash_.setShown(false);
    ended_ = true;
    if (onEnded)
        onEnded();
}

void MainWindow::splashAgree() {
    if (splash_.Check2->value() != 1) {
        host_.messageBox(kAppTitle, "You need to Check the agreement box ");
        return;
    }
    showMain();
}

void MainWindow::showMain() {
    if (onLoad)
        onLoad();
    Form_Load();
    main_.setShown(true);
    splash_.setShown(false);
}

void MainWindow::Form_Load() {
    // Touching the set-up form's text box loads that form (hidden).
    loadSetupForm();
    vid2_.txtimage->setText(paths_.overlayPicture().string());
    acq_->connect_hid();
    main_.Frame7->move(0, 0);
    main_.Frame9->move(1920, 3960);
    if (onLoadList)
        onLoadList();
    st_.appath = folderText(paths_.dataDir);
    // From here on a failing step is skipped and the next one runs.
    std::error_code ec;
    fs::create_directories(paths_.dataDir, ec);
    records_->startDataLog();
    st_.repeat_word = 10;
    st_.state = 0;
    st_.offset = 5;
    st_.rfid = 6;
    readini();
}

void MainWindow::menuoff() {
    forms::menuoff(main_);
}
void MainWindow::menuon() {
    forms::menuon(main_);
}

void MainWindow::abdd_Click() {
    about_.Label1->setText("Program path = " + paths_.appDir.string());
    about_.setShown(true);
}

void MainWindow::usedd_Click() {
    fs::path manual = paths_.manual();
    std::error_code ec;
    if (!fs::exists(manual, ec)) {
        host_.messageBox(kAppTitle, "The manual was not found: " + manual.string());
        return;
    }
    if (!host_.openWithDefaultProgram(manual))
        host_.messageBox(kAppTitle, "No program could open the manual " + manual.string());
}

void MainWindow::cmdSysInfo_Click() {
    // The platform's system information program, where one is installed.
    static const char* candidates[] = {"hardinfo", "kinfocenter", "lshw-gtk"};
    const char* pathEnv = std::getenv("PATH");
    std::string pathList = pathEnv ? pathEnv : "/usr/bin:/bin";
    for (const char* name : candidates) {
        std::size_t start = 0;
        while (start <= pathList.size()) {
            std::size_t end = pathList.find(':', start);
            if (end == std::string::npos)
                end = pathList.size();
            fs::path candidate = fs::path(pathList.substr(start, end - start)) / name;
            std::error_code ec;
            if (!candidate.parent_path().empty() && fs::is_regular_file(candidate, ec) &&
                host_.startProgram(candidate))
                return;
            start = end + 1;
        }
    }
    host_.messageBox(kAppTitle, "System Information Is Unavailable At This Time");
}

void MainWindow::shutdown(bool unloadForms) {
    // Each step is guarded: a failure skips only that step.
    main_.asktimer->setEnabled(false);
    main_.htime->setEnabled(false);
    main_.speechtimer->setEnabled(false);
    acq_->disconnect_hid();
    audio_->stop();
    video_->stop();
    logs_.close(records::Log::RfThreshold);
    logs_.close(records::Log::Data);
    if (onCloseUserList)
        onCloseUserList();
    logs_.close(records::Log::Alarm);
    if (Status s = writeini(); !s)
        host_.messageBox(kAppTitle, "The settings could not be saved: " + s.error());
    if (unloadForms) {
        about_.setShown(false);
        vid2_.setShown(false);
        cvform_.setShown(false);
    }
    main_.setShown(false);
    ended_ = true;
    if (onEnded)
        onEnded();
}

void MainWindow::stopRecordings() {
    audio_->stop();
    video_->stop();
}

void MainWindow::quit() {
    if (ended_)
        return;
    if (main_.shown())
        exout_Click();
    else
        endWithoutSaving();
}

void MainWindow::terminate() {
    if (ended_)
        return;
    if (main_.shown())
        Form_Terminate();
    else
        endWithoutSaving();
}

void MainWindow::exout_Click() {
    shutdown(false);
}
void MainWindow::Form_Unload() {
    shutdown(true);
}
void MainWindow::Form_Terminate() {
    shutdown(true);
}

} // namespace kestle::app
