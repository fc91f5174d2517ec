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
#include "support/scheduler.h"
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
    SessionEvidence(Scheduler& sched, const Options& o, const Paths& paths);
    ~SessionEvidence();

    // The recorder of the device trace goes around the link.
    void recordTrace(Backends& b);
    // The host to give the window: it journals messages, the status line,
    // capture calls and dialog answers, and passes everything on. With
    // `operatorAnswers` a person answers the dialogs (a window): their
    // answers are marked as the operator's, for a replay to give them.
    forms::UiHost& host(forms::UiHost& inner, bool operatorAnswers);
    // Journals the words, questions, alarms, plugs and the operator's
    // actions of `win` (in the window and by script); says what the start
    // could not do.
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
    Paths paths_;
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
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    LocalDateTime end_;
    bool endSeen_ = false, flushArmed_ = false;
};

// A description of the unit for the bag: "simulated, seed N", ...
std::string unitDescription(const Options& o);

} // namespace kestle::app
