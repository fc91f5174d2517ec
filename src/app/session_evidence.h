// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The evidence of this run: seals what earlier runs left unsealed (on a
// thread of its own), opens the session's bag when the main form loads (a
// run that ends at the disclaimer leaves nothing behind), journals what
// happens from the start, records every exchange with the Kestle into it,
// and seals it once the window and its backends are gone (every capture
// file finished). A bag that cannot be made is said in the status line and
// the run goes on without one. Window thread only.
#include "app/backends.h"
#include "app/options.h"
#include "app/paths.h"
#include "evidence/session_bag.h"
#include "forms/ui_host.h"
#include "support/lifetime.h"
#include "support/scheduler.h"
#include "support/session_events.h"
#include "support/worker_thread.h"

#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace kestle::app {

class MainWindow;
class ScriptRunner;

class SessionEvidence {
  public:
    // Journals what `events` tells from now on.
    SessionEvidence(Scheduler& sched, const Options& o, const Paths& paths,
                    events::SessionEvents& events);
    ~SessionEvidence();

    // The recorder of the device trace goes around the link.
    void recordTrace(Backends& b);
    // The host to give the window: it tells messages, status texts and
    // dialog answers as session events, and passes everything on. With
    // `operatorAnswers` a person answers the dialogs (a window): their
    // answers are marked as the operator's, for a replay to give them.
    forms::UiHost& host(forms::UiHost& inner, bool operatorAnswers);
    // Opens the bag when `win`'s main form loads; the script's operator
    // actions become session events.
    void attach(MainWindow& win, ScriptRunner* runner);
    // The window has ended: the time the session ends.
    void ended();
    // Seals the bag; call once the window and its backends are destroyed.
    void seal();

    const evidence::SessionBag* bag() const { return bag_.get(); }
    void journal(std::string_view event, const evidence::JsonFields& fields = {});

  private:
    class JournalingHost;
    class TraceForward;
    struct Line {
        long long t;
        LocalDateTime time;
        std::string event;
        evidence::JsonFields fields;
    };
    void begin();
    void journalStart();
    evidence::GzTrace* openTrace();

    Scheduler& sched_;
    events::SessionEvents& events_;
    events::SessionEvents::Subscription journaling_;
    Paths paths_;
    bool realTime_;
    evidence::SessionInfo info_;
    std::string settingsAtStart_;
    evidence::DataFolderState atStart_;
    std::unique_ptr<evidence::SessionBag> bag_;
    std::unique_ptr<JournalingHost> host_;
    std::unique_ptr<TraceForward> forward_;
    std::ostream traceStream_{nullptr};
    std::vector<Line> pending_;
    bool began_ = false;
    std::thread sealer_;
    // Hashes finished captures while the session runs (a look every 30 s).
    std::unique_ptr<WorkerThread> hasher_;
    void scanCaptures(WorkerThread& worker);
    // Once a second: is the bag's folder still there? When the data folder
    // goes, the recordings stop and the evidence is kept in memory until it
    // is back (or the seal makes it again).
    void watchFolder();
    void checkFolder();
    MainWindow* win_ = nullptr; // attached; it ends before the seal
    bool reattachFailed_ = false;
    Lifetime life_; // the sealer's result finds it ended once this goes
    LocalDateTime end_;
    bool endSeen_ = false, flushArmed_ = false;
};

// Indexes the session's AVI files that their writer never finished.
evidence::CaptureMender aviMender();

// A description of the unit for the bag: "simulated, seed N", ...
std::string unitDescription(const Options& o);

} // namespace kestle::app
