#include "app/session_evidence.h"

#include "app/main_window.h"
#include "app/script_runner.h"
#include "device/recording_link.h"
#include "ecm/qa_session.h"
#include "ecm/word_engine.h"
#include "records/records.h"
#include "support/quote.h"
#include "support/textfile.h"

#include <ostream>

namespace kestle::app {

using evidence::JsonFields;
namespace fs = std::filesystem;

class SessionEvidence::JournalingHost : public forms::UiHost {
  public:
    JournalingHost(SessionEvidence& ev, forms::UiHost& inner, bool operatorAnswers)
        : ev_(ev), inner_(inner), operatorAnswers_(operatorAnswers) {}

    void messageBox(const std::string& title, const std::string& text,
                    std::function<void()> done) override {
        ev_.journal("message", JsonFields().add("title", title).add("text", text));
        inner_.messageBox(title, text, std::move(done));
    }
    void inputBox(const std::string& title, const std::string& prompt, const std::string& proposed,
                  std::function<void(std::optional<std::string>)> done) override {
        inner_.inputBox(title, prompt, proposed,
                        [this, title, done = std::move(done)](std::optional<std::string> a) {
                            answered("input", title, a);
                            done(std::move(a));
                        });
    }
    void fileDialog(const std::string& title, const std::string& filter,
                    std::function<void(std::optional<std::string>)> done) override {
        inner_.fileDialog(title, filter,
                          [this, title, done = std::move(done)](std::optional<std::string> a) {
                              answered("file", title, a);
                              done(std::move(a));
                          });
    }
    void colorDialog(const std::string& title, std::uint32_t initial,
                     std::function<void(std::optional<std::uint32_t>)> done) override {
        inner_.colorDialog(title, initial,
                           [this, title, done = std::move(done)](std::optional<std::uint32_t> a) {
                               std::optional<std::string> text;
                               if (a)
                                   text = rgbHex(*a);
                               answered("colour", title, text);
                               done(a);
                           });
    }
    void status(const std::string& text) override {
        if (!text.empty())
            ev_.journal("status", JsonFields().add("text", text));
        inner_.status(text);
    }
    void event(const std::string& line) override {
        // Capture calls name their files; speech lines say what was spoken.
        if (line.starts_with("CAPTURE "))
            ev_.journal("capture", JsonFields().add("call", line.substr(8)));
        else if (line.starts_with("SPEAK "))
            ev_.journal("speech", JsonFields().add("line", line.substr(6)));
        inner_.event(line);
    }
    bool openWithDefaultProgram(const fs::path& p) override {
        return inner_.openWithDefaultProgram(p);
    }
    bool startProgram(const fs::path& program) override { return inner_.startProgram(program); }
    void focus(const std::string& name) override { inner_.focus(name); }

  private:
    void answered(const char* kind, const std::string& title, const std::optional<std::string>& a) {
        JsonFields f;
        f.add("kind", kind).add("title", title);
        if (a)
            f.add("answer", *a);
        else
            f.add("cancelled", std::int64_t{1});
        if (operatorAnswers_)
            f.add("operator", std::int64_t{1});
        ev_.journal("dialog", f);
    }
    SessionEvidence& ev_;
    forms::UiHost& inner_;
    bool operatorAnswers_;
};

// The recording link writes here from the start; lines reach the bag's
// trace once it is open and until it is sealed.
class SessionEvidence::TraceForward : public std::streambuf {
  public:
    explicit TraceForward(SessionEvidence& ev) : ev_(ev) {}

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            const char ch = traits_type::to_char_type(c);
            xsputn(&ch, 1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (evidence::GzTrace* t = ev_.openTrace())
            t->stream().write(s, n);
        return n;
    }
    int sync() override {
        if (evidence::GzTrace* t = ev_.openTrace())
            t->stream().flush();
        return 0;
    }

  private:
    SessionEvidence& ev_;
};

evidence::GzTrace* SessionEvidence::openTrace() {
    return bag_ && !bag_->sealed() ? &bag_->trace() : nullptr;
}

std::string unitDescription(const Options& o) {
    if (o.device == "sim")
        return "simulated, seed " + std::to_string(o.simSeed);
    if (o.device.starts_with("replay:"))
        return "replay of " + o.device.substr(7);
    return "USB HID 04D8:FEF3";
}

SessionEvidence::SessionEvidence(Scheduler& sched, const Options& o, const Paths& paths)
    : sched_(sched), paths_(paths), forward_(std::make_unique<TraceForward>(*this)) {
    traceStream_.rdbuf(forward_.get());
    info_ = {sched.localNow(), versionText().substr(0, versionText().find('\n')),
             unitDescription(o)};
    // As read at start, before anything writes to it.
    auto settings = readFileBytes(paths.settingsFile(), 1 << 20);
    settingsAtStart_ = settings ? *settings : std::string();
    atStart_ = evidence::snapshotDataFolder(paths.dataDir);
    // Sessions whose program died are sealed beside this one's start, with
    // what the data folder held before this one wrote to it. The script's
    // next line (and a virtual clock) waits for the outcome, which is told.
    journalStart();
    if (!evidence::hasUnsealedSessions(paths.dataDir))
        return;
    sched.expectResult();
    sealer_ = std::thread([this, alive = alive_, data = paths.dataDir, now = info_.start,
                           upTo = atStart_] {
        auto sealed = evidence::sealAbandoned(data, now, upTo);
        sched_.postResult([this, alive, sealed = std::move(sealed)] {
            if (!*alive)
                return;
            for (const auto& s : sealed) {
                const std::string text =
                    s.status
                        ? "The session " + s.folder + " had ended unexpectedly; it is sealed now"
                        : "The session " + s.folder + " could not be sealed: " + s.status.error();
                journal("sealed-earlier-session",
                        JsonFields().add("folder", s.folder).add("text", text));
                if (host_)
                    host_->status(text);
            }
        });
    });
}

void SessionEvidence::journalStart() {
    journal("start", JsonFields()
                         .add("version", info_.version)
                         .add("unit", info_.unit)
                         .add("settings", paths_.settingsFile().string())
                         .add("data", paths_.dataDir.string()));
}

void SessionEvidence::begin() {
    if (began_)
        return;
    began_ = true;
    auto bag = evidence::SessionBag::open(paths_.dataDir, settingsAtStart_, info_, atStart_,
                                          [this] { return sched_.nowMs(); });
    if (!bag) {
        pending_.clear();
        if (host_)
            host_->status("This session's evidence cannot be kept: " + bag.error());
        return;
    }
    bag_ = std::move(*bag);
    bag_->trace().onPending = [this] {
        if (flushArmed_)
            return;
        flushArmed_ = true;
        sched_.callAfter(1000, [this] {
            flushArmed_ = false;
            if (bag_ && !bag_->sealed())
                bag_->trace().flush();
        });
    };
    for (const Line& l : pending_)
        bag_->journal().write(l.t, l.time, l.event, l.fields);
    pending_.clear();
    hasher_ = std::make_unique<WorkerThread>();
    scanCaptures(*hasher_);
}

void SessionEvidence::scanCaptures(WorkerThread& worker) {
    // A capture unchanged between two looks is finished: hashed now, the
    // seal at exit need not read it again. Looks still due when the worker
    // ends are dropped.
    worker.postAfter(std::chrono::seconds(30), [this, &worker] {
        bag_->hashFinishedCaptures();
        scanCaptures(worker);
    });
}

SessionEvidence::~SessionEvidence() {
    *alive_ = false;
    if (sealer_.joinable())
        sealer_.join();
}

void SessionEvidence::journal(std::string_view event, const JsonFields& fields) {
    if (!began_) { // the lines before the main form loads wait for its bag
        pending_.push_back({sched_.nowMs(), sched_.localNow(), std::string(event), fields});
        return;
    }
    if (!bag_ || bag_->sealed())
        return;
    evidence::Journal& j = bag_->journal();
    const bool wasOk = j.status().ok();
    j.write(sched_.nowMs(), sched_.localNow(), event, fields);
    if (wasOk && !j.status().ok() && host_)
        host_->status("This session's journal could not be written: " + j.status().error());
}

void SessionEvidence::recordTrace(Backends& b) {
    auto rec = std::make_unique<device::RecordingLink>(std::move(b.link), traceStream_);
    rec->stampTimes([this] { return sched_.nowMs(); });
    b.link = std::move(rec);
}

forms::UiHost& SessionEvidence::host(forms::UiHost& inner, bool operatorAnswers) {
    host_ = std::make_unique<JournalingHost>(*this, inner, operatorAnswers);
    return *host_;
}

void SessionEvidence::attach(MainWindow& win, ScriptRunner* runner) {
    win.onLoad = [this] { begin(); };
    win.words().onWordChosen = [this](int mode, std::int32_t level, const std::string& word) {
        static const char* modes[] = {"volts", "frequency", "field"};
        journal("word", JsonFields()
                            .add("word", word)
                            .add("mode", modes[mode >= 0 && mode < 3 ? mode : 0])
                            .add("level", std::int64_t{level}));
    };
    win.qa().onQuestion = [this](const std::string& q) {
        journal("question", JsonFields().add("text", q));
    };
    win.acquisition().onPresence = [this](bool plugged) { journal(plugged ? "plug" : "unplug"); };
    auto& stages = win.acquisition().stages;
    stages.alarms = [this, &win, alarms = stages.alarms] {
        forms::Control* shown = win.main().alarmdisplay;
        const std::size_t before = shown->text().size();
        if (alarms)
            alarms();
        if (win.records().alarmTripped() != 0) {
            const std::string& now = shown->text();
            journal("alarm",
                    JsonFields().add("text", now.size() > before ? now.substr(before) : now));
        }
    };
    auto action = [this](const std::string& command) {
        journal("action", JsonFields().add("command", command));
    };
    win.onOperatorAction = action;
    if (runner)
        runner->onCommand = action;
}

void SessionEvidence::ended() {
    if (endSeen_)
        return;
    endSeen_ = true;
    end_ = sched_.localNow();
    journal("end");
}

void SessionEvidence::seal() {
    if (!bag_ || bag_->sealed())
        return;
    hasher_.reset(); // waits for a look under way
    if (!endSeen_)
        ended();
    if (Status s = bag_->seal(end_, paths_.settingsFile()); !s && host_)
        host_->status("This session's evidence could not be sealed: " + s.error());
}

} // namespace kestle::app
