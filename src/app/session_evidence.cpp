// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session_evidence.h"

#include "app/main_window.h"
#include "app/script_runner.h"
#include "capture/avi_repair.h"
#include "device/recording_link.h"
#include "evidence/journal_events.h"
#include "support/quote.h"
#include "support/textfile.h"

#include <ostream>

namespace kestle::app {

using evidence::JsonFields;
namespace fs = std::filesystem;

// Passes everything on to the window's host, and tells the messages,
// status texts and dialog answers as session events.
class SessionEvidence::JournalingHost : public forms::UiHost {
  public:
    JournalingHost(events::SessionEvents& events, forms::UiHost& inner, bool operatorAnswers)
        : events_(events), inner_(inner), operatorAnswers_(operatorAnswers) {}

    void messageBox(const std::string& title, const std::string& text,
                    std::function<void()> done) override {
        events_.publish(events::Message{title, text});
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
        if (!text.empty()) // clearing the line tells nothing
            events_.publish(events::Status{text});
        inner_.status(text);
    }
    void event(const std::string& line) override { inner_.event(line); }
    bool openWithDefaultProgram(const fs::path& p) override {
        return inner_.openWithDefaultProgram(p);
    }
    bool startProgram(const fs::path& program) override { return inner_.startProgram(program); }
    void focus(const std::string& name) override { inner_.focus(name); }

  private:
    void answered(const char* kind, const std::string& title, const std::optional<std::string>& a) {
        events_.publish(events::Dialog{kind, title, a, operatorAnswers_});
    }
    events::SessionEvents& events_;
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

evidence::CaptureMender aviMender() {
    return [](const fs::path& file) -> Result<std::optional<evidence::MendedCapture>> {
        std::string ext = file.extension().string();
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".avi")
            return std::optional<evidence::MendedCapture>();
        auto r = capture::repairAvi(file);
        if (!r)
            return Error{r.error()};
        if (r->outcome == capture::AviRepair::Outcome::AlreadyIndexed)
            return std::optional<evidence::MendedCapture>();
        return std::optional<evidence::MendedCapture>(evidence::MendedCapture{
            capture::repairDescription(*r, "data/captures/" + file.filename().string()),
            capture::repairTagText(*r)});
    };
}

std::string unitDescription(const Options& o) {
    if (o.device == "sim")
        return "simulated, seed " + std::to_string(o.simSeed);
    if (o.device.starts_with("replay:"))
        return "replay of " + o.device.substr(7);
    return "USB HID 04D8:FEF3";
}

SessionEvidence::SessionEvidence(Scheduler& sched, const Options& o, const Paths& paths,
                                 events::SessionEvents& events)
    : sched_(sched), events_(events), paths_(paths), realTime_(!o.clock),
      forward_(std::make_unique<TraceForward>(*this)) {
    journaling_ = events_.subscribe([this](const events::Event& e) {
        if (auto entry = evidence::journalEntry(e))
            journal(entry->event, entry->fields);
        // A recording made elsewhere is the session's evidence all the same.
        if (auto* r = std::get_if<events::RecordingStarted>(&e))
            if (bag_ && !evidence::liesIn(r->file, paths_.dataDir))
                bag_->addOutsideCapture(r->file);
    });
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
    sealer_ = std::thread([this, data = paths.dataDir, now = info_.start, upTo = atStart_] {
        auto sealed = evidence::sealAbandoned(data, now, upTo, aviMender());
        sched_.postResult(life_.guard([this, sealed = std::move(sealed)] {
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
        }));
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
    bag_->setMender(aviMender());
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
    // In virtual time a check every second would turn a wait "for ever"
    // into endless work; nothing records there, and a script's runs are
    // over in moments.
    if (realTime_)
        watchFolder();
}

void SessionEvidence::watchFolder() {
    sched_.callAfter(1000, [this] {
        if (!bag_ || bag_->sealed())
            return;
        checkFolder();
        watchFolder();
    });
}

void SessionEvidence::checkFolder() {
    std::error_code ec;
    const bool dataThere = fs::is_directory(paths_.dataDir, ec);
    const std::string data = paths_.dataDir.string();
    if (!bag_->keptInMemory()) {
        if (dataThere && bag_->present())
            return;
        // Nothing more can reach the folder: the recordings end, and the
        // journal and the trace wait in memory.
        if (win_)
            win_->stopRecordings();
        const std::string folder = bag_->folder().string();
        const Status kept = bag_->keepInMemory();
        if (host_)
            host_->status(
                (dataThere ? "This session's folder " + folder : "The data folder " + data) +
                " is gone: the recordings were stopped, and this session's evidence is "
                "kept in memory until the folder is back" +
                (kept ? "" : " (" + kept.error() + ")"));
        return;
    }
    if (!dataThere)
        return;
    if (Status s = bag_->reattach(); !s) {
        if (host_ && !reattachFailed_)
            host_->status("This session's evidence cannot be written into " + data + ": " +
                          s.error());
        reattachFailed_ = true;
        return;
    }
    reattachFailed_ = false;
    if (host_)
        host_->status("The data folder " + data + " is back: this session's evidence goes on in " +
                      bag_->folder().string());
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
    life_.end();
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
    host_ = std::make_unique<JournalingHost>(events_, inner, operatorAnswers);
    return *host_;
}

void SessionEvidence::attach(MainWindow& win, ScriptRunner* runner) {
    win_ = &win;
    win.onLoad = [this] { begin(); };
    if (runner)
        runner->onCommand = [this](const std::string& command) {
            events_.publish(events::Action{command});
        };
}

void SessionEvidence::ended() {
    if (endSeen_)
        return;
    endSeen_ = true;
    win_ = nullptr; // the window goes before the seal
    end_ = sched_.localNow();
    journal("end");
}

void SessionEvidence::seal() {
    if (!bag_ || bag_->sealed())
        return;
    hasher_.reset(); // waits for a look under way
    if (!endSeen_)
        ended();
    const bool remade = bag_->keptInMemory();
    const Status s = bag_->seal(end_, paths_.settingsFile());
    if (!host_)
        return;
    if (!s)
        host_->status("This session's evidence could not be sealed: " + s.error());
    else if (remade)
        host_->status("The data folder was gone: this session's evidence was sealed in " +
                      bag_->folder().string());
}

} // namespace kestle::app
