// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The evidence of one session (one run of the program, load to exit),
// packed as a BagIt bag in <data folder>/Sessions/<YYYY-MM-DD HH-MM-SS>/
// (" (2)", " (3)" for a later session of the same second).
//
// While the session runs, the bag's folder holds the payload as it grows
// (data/journal.jsonl, data/trace.gz, data/settings-at-start.ini) and one
// hidden file, ".lock", locked (flock) by the running program and holding
// what the data folder held at the start (the size of each log, the names
// of the other files); it is written whole before it gets its name.
// Sealing adds the logs' rows of this session (data/logs/), the captures it
// made (data/captures/, hard links where possible, else copies),
// data/settings-at-exit.ini, and the manifests; removing ".lock" is the
// last step. A folder whose ".lock" is no longer locked is a session whose
// program died or was stopped while it sealed: sealAbandoned() seals it,
// as ended normally when its journal holds the end, else unexpectedly.
// Window thread only.
#include "evidence/bagit.h"
#include "evidence/hash_cache.h"
#include "evidence/journal.h"
#include "evidence/trace_gz.h"
#include "support/datetime.h"
#include "support/result.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestle::evidence {

// The logs whose rows of a session go into data/logs/.
inline const std::vector<std::string> kLogNames = {"CV_data_file.csv", "CV_rf_threshold.csv",
                                                   "CV_Alarm_Log.TXT"};

// A capture mended before it goes into a bag (an AVI that its writer never
// finished, indexed): the line bag-info.txt gives it and the tag file that
// lets the file as recorded be rebuilt. Nothing when it needed no mending;
// an error when it could not be mended (it goes in as recorded).
struct MendedCapture {
    std::string description;
    std::string tagText;
};
using CaptureMender =
    std::function<Result<std::optional<MendedCapture>>(const std::filesystem::path& file)>;

struct SessionInfo {
    LocalDateTime start;
    std::string version; // of the program
    std::string unit;    // "simulated, seed 1", "replay of FILE", "USB HID"
};

// What a data folder holds: the size of each log, the names of its other
// files.
struct DataFolderState {
    std::map<std::string, std::uint64_t> logSizes;
    std::set<std::string> files;
};
DataFolderState snapshotDataFolder(const std::filesystem::path& dataDir);

// "<YYYY-MM-DD HH-MM-SS>", the folder name of a session started at `t`.
std::string sessionFolderName(const LocalDateTime& t);

class SessionBag {
  public:
    // Makes the bag's folder and starts its journal and trace. `atStart` is
    // what the data folder held when the session started (its later rows
    // and files are the session's); `nowMs` is the session's clock
    // (milliseconds). The error names what failed.
    static Result<std::unique_ptr<SessionBag>>
    open(const std::filesystem::path& dataDir, const std::string& settingsAtStart,
         const SessionInfo& info, const DataFolderState& atStart, std::function<long long()> nowMs);
    ~SessionBag();

    const std::filesystem::path& folder() const { return folder_; }
    Journal& journal() { return journal_; }
    GzTrace& trace() { return *trace_; }

    // Seals the bag at the normal end; `settingsFile` is read as written at
    // exit. Once sealed, nothing more is written.
    Status seal(const LocalDateTime& end, const std::filesystem::path& settingsFile);
    // Mends the session's unfinished captures (at the seal, and those
    // noted finished while it runs, see mendFinished()).
    void setMender(CaptureMender m) { mender_ = std::move(m); }
    // A recording made outside the data folder: it goes into the bag's
    // captures at the seal too.
    void addOutsideCapture(const std::filesystem::path& file) { outside_.insert(file); }
    // Hashes the session's captures that have not changed since the last
    // call (finished ones), so that the seal need not read them again.
    // Any thread, but one at a time; it only reads.
    void hashFinishedCaptures();
    const HashCache& hashes() const { return hashes_; }
    bool sealed() const { return sealed_; }

    // True while the bag's folder is where it was made (not removed with
    // the data folder, nor replaced).
    bool present() const;
    // The folder is gone: the journal and the trace go on in memory
    // (bounded) until reattach() writes them into a new bag folder in the
    // data folder, made again when missing (seal() does so too).
    Status keepInMemory();
    bool keptInMemory() const { return journal_.inMemory(); }
    Status reattach();

  private:
    SessionBag() = default;
    // Makes the lock with the start state, the settings at start, the
    // journal and the trace in folder_.
    Status begin();
    std::filesystem::path folder_, dataDir_;
    SessionInfo info_;
    std::string settingsAtStart_;
    Journal journal_;
    std::unique_ptr<GzTrace> trace_;
    int lockFd_ = -1;
    HashCache hashes_;
    DataFolderState atStart_;
    CaptureMender mender_;
    std::set<std::filesystem::path> outside_;
    std::map<std::string, std::pair<std::uintmax_t, long long>> lastSeen_; // size, mtime
    bool sealed_ = false;
};

// True when `file` lies directly in `folder` (however either is written).
bool liesIn(const std::filesystem::path& file, const std::filesystem::path& folder);

// Seals every session in `dataDir`/Sessions whose program died before it
// could, with the rows and files up to `upTo` (the data folder when this
// program started); returns what was sealed (folder names) or why not.
// True when a session there has not been sealed (its program may still run).
bool hasUnsealedSessions(const std::filesystem::path& dataDir);
struct AbandonedSeal {
    std::string folder;
    Status status;
};
std::vector<AbandonedSeal> sealAbandoned(const std::filesystem::path& dataDir,
                                         const LocalDateTime& now, const DataFolderState& upTo,
                                         const CaptureMender& mender = {});

// The check of `kestle --verify DIR`: problems, one per line; empty when valid.
std::vector<std::string> verifySession(const std::filesystem::path& bag);

} // namespace kestle::evidence
