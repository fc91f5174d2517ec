// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/session_bag.h"

#include "evidence/replay_plan.h"
#include "support/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestle::evidence {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxSettingsBytes = 1 << 20;
constexpr std::uint64_t kMaxStateBytes = 64ull << 20;
// Locked by the running program; it holds the start state.
constexpr const char* kLockFile = ".lock";
// Where versions before 2.1 kept the start state.
constexpr const char* kLegacyStartFile = ".session-start";

Status writeAll(int fd, std::string_view bytes, const fs::path& p) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Error{"Cannot write " + p.string() + ": " +
                         (n < 0 ? std::strerror(errno) : "No space left on device")};
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

// What the data folder held when the session started.
struct StartState {
    std::string start, version, unit;
    DataFolderState folder;
};

std::string stateText(const StartState& s) {
    std::string t = "start\t" + s.start + "\nversion\t" + s.version + "\nunit\t" + s.unit + "\n";
    for (const auto& [name, size] : s.folder.logSizes)
        t += "log\t" + name + "\t" + std::to_string(size) + "\n";
    for (const std::string& f : s.folder.files)
        t += "file\t" + f + "\n";
    return t;
}

StartState parseState(const std::string& text) {
    StartState s;
    for (const std::string& line : splitLines(text)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string key = line.substr(0, tab), rest = line.substr(tab + 1);
        if (key == "start")
            s.start = rest;
        else if (key == "version")
            s.version = rest;
        else if (key == "unit")
            s.unit = rest;
        else if (key == "file")
            s.folder.files.insert(rest);
        else if (key == "log") {
            const std::size_t t2 = rest.rfind('\t');
            if (t2 != std::string::npos)
                s.folder.logSizes[rest.substr(0, t2)] =
                    std::strtoull(rest.c_str() + t2 + 1, nullptr, 10);
        }
    }
    return s;
}

bool isLog(const std::string& name) {
    return std::find(kLogNames.begin(), kLogNames.end(), name) != kLogNames.end();
}

// Copies bytes [from, to) of `src` to `dst`; false when there are none.
Result<bool> copyTail(const fs::path& src, std::uint64_t from, std::uint64_t to,
                      const fs::path& dst) {
    std::error_code ec;
    const auto size = std::min<std::uint64_t>(fs::file_size(src, ec), to);
    if (ec)
        return false;
    if (size < from) // the log was replaced during the session: all of it is new
        from = 0;
    if (size == from)
        return false;
    std::ifstream in(src, std::ios::binary);
    std::ofstream out(dst, std::ios::binary | std::ios::trunc);
    if (!in || !out)
        return Error{"Cannot copy " + src.string() + " to " + dst.string()};
    in.seekg(static_cast<std::streamoff>(from));
    std::vector<char> buf(1 << 20);
    std::uint64_t left = size - from;
    while (left > 0 && in) {
        in.read(buf.data(),
                static_cast<std::streamsize>(std::min<std::uint64_t>(left, buf.size())));
        out.write(buf.data(), in.gcount());
        left -= static_cast<std::uint64_t>(in.gcount());
    }
    out.flush();
    if (!out)
        return Error{"Cannot write " + dst.string() + ": " + std::strerror(errno)};
    return true;
}

// The logs' rows of the session and the captures it made; with `upTo`, only
// what the data folder held then (a later session's rows and files are not
// this one's).
// A link costs nothing, even for an hour of video; a copy where the file
// system has none, made under a hidden name and then renamed, so that a
// copy cut short is never taken for the capture.
Status takeCapture(const fs::path& src, const fs::path& dst) {
    std::error_code ec;
    fs::create_directories(dst.parent_path(), ec);
    fs::create_hard_link(src, dst, ec);
    if (!ec)
        return {};
    const fs::path part = dst.parent_path() / ("." + dst.filename().string() + ".part");
    fs::remove(part, ec);
    if (!fs::copy_file(src, part, ec) || (fs::rename(part, dst, ec), ec)) {
        const std::string why = ec.message();
        fs::remove(part, ec);
        return Error{"Cannot copy " + src.string() + " into the session: " + why};
    }
    return {};
}

// "a/b.avi" -> "b (2).avi".
std::string numberedName(const std::string& name, int n) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? "" : name.substr(dot);
    return stem + " (" + std::to_string(n) + ")" + ext;
}

Status gatherPayload(const fs::path& bag, const fs::path& dataDir, const StartState& start,
                     const DataFolderState* upTo, const std::set<fs::path>& outside) {
    std::error_code ec;
    fs::create_directories(bag / "data" / "logs", ec);
    for (const auto& [name, size] : start.folder.logSizes) {
        std::uint64_t to = std::numeric_limits<std::uint64_t>::max();
        if (upTo)
            to = upTo->logSizes.contains(name) ? upTo->logSizes.at(name) : 0;
        if (auto r = copyTail(dataDir / name, size, to, bag / "data" / "logs" / name); !r)
            return Error{r.error()};
    }
    fs::remove(bag / "data" / "logs", ec); // only when nothing was logged
    for (const auto& e : fs::directory_iterator(dataDir, ec)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file(ec) || isLog(name) || start.folder.files.contains(name) ||
            name.starts_with(".") || (upTo && !upTo->files.contains(name)))
            continue;
        const fs::path dst = bag / "data" / "captures" / name;
        if (fs::exists(dst))
            continue;
        if (Status s = takeCapture(e.path(), dst); !s)
            return s;
    }
    // Recordings the operator made outside the data folder, under their own
    // names (" (2)" when one of the data folder's has it).
    for (const fs::path& p : outside) {
        if (fs::symlink_status(p, ec).type() != fs::file_type::regular)
            continue;
        const std::string name = p.filename().string();
        fs::path dst = bag / "data" / "captures" / name;
        for (int n = 2; fs::exists(dst, ec) && !fs::equivalent(dst, p, ec); ++n)
            dst = bag / "data" / "captures" / numberedName(name, n);
        if (fs::exists(dst, ec))
            continue;
        if (Status s = takeCapture(p, dst); !s)
            return s;
    }
    return {};
}

// Mends the session's captures before they are linked into the bag; the
// tag files go beside the payload, the lines into bag-info.txt.
std::vector<std::string> mendCaptures(const fs::path& bag, const fs::path& dataDir,
                                      const StartState& start, const DataFolderState* upTo,
                                      const std::set<fs::path>& outside,
                                      const CaptureMender& mender) {
    std::vector<std::string> lines;
    if (!mender)
        return lines;
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dataDir, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file(ec) && !isLog(name) && !start.folder.files.contains(name) &&
            !name.starts_with(".") && (!upTo || upTo->files.contains(name)))
            files.push_back(e.path());
    }
    for (const fs::path& p : outside)
        if (fs::symlink_status(p, ec).type() == fs::file_type::regular)
            files.push_back(p);
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        auto mended = mender(file);
        const std::string inBag = "data/captures/" + name;
        if (!mended) {
            lines.push_back(inBag + ": not mended: " + mended.error());
        } else if (*mended) {
            // A link an earlier, interrupted seal made holds the file as recorded.
            fs::remove(bag / inBag, ec);
            lines.push_back((*mended)->description);
            (void)writeFileBytesAtomic(bag / ("mended " + name + ".txt"), (*mended)->tagText);
        }
    }
    return lines;
}

BagInfo withMended(BagInfo info, const std::vector<std::string>& mended) {
    for (const std::string& m : mended)
        info.push_back({"Mended", m});
    return info;
}

BagInfo describe(const StartState& s, const std::string& end, const std::string& how) {
    return {{"External-Description", "A session of the Kestle companion from " + s.start + " to " +
                                         end + "; " + s.version + "; unit: " + s.unit + "."},
            {"Session-Start", s.start},
            {"Session-End", end},
            {"Session-Ended", how},
            {"Unit", s.unit},
            {"Bag-Software-Agent", s.version}};
}

std::string baggingDate(const LocalDateTime& t) {
    return isoTime(t).substr(0, 10);
}

// The lock goes last, in one step: until then the next start finds the
// session unsealed and seals it again.
void removeHidden(const fs::path& bag) {
    std::error_code ec;
    fs::remove(bag / kLegacyStartFile, ec);
    fs::remove(bag / kLockFile, ec);
}

// What writeFileBytesAtomic leaves of a seal cut short by a kill.
void removeSealLeftovers(const fs::path& bag) {
    for (const char* f : {"data/settings-at-exit.ini", "manifest-sha256.txt", "bagit.txt",
                          "bag-info.txt", "tagmanifest-sha256.txt"})
        removeStaleTemporaries(bag / f);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(bag / "data" / "captures", ec)) {
        const std::string n = e.path().filename().string();
        if (n.starts_with(".") && n.ends_with(".part"))
            fs::remove(e.path(), ec);
    }
}

// The journal's last lines: the time of the last whole one, and whether
// the session ended there (its program wrote "end" before it was killed).
struct JournalTail {
    std::string lastTime, endTime;
};
JournalTail journalTail(const fs::path& journal) {
    constexpr std::uint64_t kTail = 64 << 10;
    JournalTail t;
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return t;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        const std::uint64_t from = size > kTail ? size - kTail : 0;
        std::string text(size - from, '\0');
        const ssize_t n = ::pread(fd, text.data(), text.size(), static_cast<off_t>(from));
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (from > 0) // the first line may be cut: start after it
            text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n') + 1);
        t.lastTime = lastJournalTime(text);
        for (const std::string& line : splitLines(text))
            if (journalField(line, "event") == "end")
                t.endTime = journalField(line, "time").value_or(t.lastTime);
    }
    ::close(fd);
    return t;
}

} // namespace

DataFolderState snapshotDataFolder(const fs::path& dataDir) {
    DataFolderState s;
    std::error_code ec;
    for (const std::string& log : kLogNames) {
        const auto size = fs::file_size(dataDir / log, ec);
        s.logSizes[log] = ec ? 0 : size;
    }
    for (const auto& e : fs::directory_iterator(dataDir, ec))
        if (e.is_regular_file(ec) && !isLog(e.path().filename().string()))
            s.files.insert(e.path().filename().string());
    return s;
}

std::string sessionFolderName(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

Result<std::unique_ptr<SessionBag>> SessionBag::open(const fs::path& dataDir,
                                                     const std::string& settingsAtStart,
                                                     const SessionInfo& info,
                                                     const DataFolderState& atStart,
                                                     std::function<long long()> nowMs) {
    std::unique_ptr<SessionBag> bag(new SessionBag);
    bag->dataDir_ = dataDir;
    bag->info_ = info;
    bag->atStart_ = atStart;
    std::error_code ec;
    const fs::path sessions = dataDir / "Sessions";
    fs::create_directories(sessions, ec);
    if (ec)
        return Error{"Cannot make " + sessions.string() + ": " + ec.message()};
    const std::string base = sessionFolderName(info.start);
    for (int n = 1;; ++n) {
        const fs::path f = sessions / (n == 1 ? base : base + " (" + std::to_string(n) + ")");
        if (fs::create_directory(f, ec)) {
            bag->folder_ = f;
            break;
        }
        if (ec)
            return Error{"Cannot make " + f.string() + ": " + ec.message()};
    }
    // Nothing of a start that failed stays behind: a folder left with a
    // lock but no start state could never be sealed.
    bag->settingsAtStart_ = settingsAtStart;
    bag->trace_ = std::make_unique<GzTrace>(std::move(nowMs));
    auto made = bag->begin();
    if (!made) {
        bag->journal_.close();
        bag->trace_.reset();
        if (bag->lockFd_ >= 0)
            ::close(bag->lockFd_);
        bag->lockFd_ = -1;
        fs::remove_all(bag->folder_, ec);
        return Error{made.error()};
    }
    return bag;
}

Status SessionBag::begin() {
    const std::string state =
        stateText({isoTime(info_.start), info_.version, info_.unit, atStart_});
    // The lock file carries the start state, written whole before it gets
    // its name: a session folder has its state or no lock at all.
    const fs::path part = folder_ / ".lock.part", lock = folder_ / kLockFile;
    lockFd_ = ::open(part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0)
        return Error{"Cannot lock " + lock.string() + ": " + std::strerror(errno)};
    if (Status s = writeAll(lockFd_, state, part); !s)
        return s;
    if (::fsync(lockFd_) != 0 || ::rename(part.c_str(), lock.c_str()) != 0)
        return Error{"Cannot write " + lock.string() + ": " + std::strerror(errno)};
    std::error_code ec;
    fs::create_directories(folder_ / "data", ec);
    if (Status s =
            writeFileBytesAtomic(folder_ / "data" / "settings-at-start.ini", settingsAtStart_);
        !s)
        return s;
    if (Status s = journal_.open(folder_ / "data" / "journal.jsonl"); !s)
        return s;
    return trace_->open(folder_ / "data" / "trace.gz");
}

bool SessionBag::present() const {
    if (keptInMemory())
        return false;
    struct stat there {
    }, held{};
    return ::stat((folder_ / kLockFile).c_str(), &there) == 0 && ::fstat(lockFd_, &held) == 0 &&
           there.st_ino == held.st_ino && there.st_dev == held.st_dev;
}

Status SessionBag::keepInMemory() {
    if (keptInMemory())
        return {};
    constexpr std::uint64_t kJournalLimit = 256ull << 20, kTraceLimit = 512ull << 20;
    const Status j = journal_.keepInMemory(kJournalLimit);
    const Status t = trace_->keepInMemory(kTraceLimit);
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
    return !j ? j : t;
}

Status SessionBag::reattach() {
    if (!keptInMemory())
        return {};
    std::error_code ec;
    const fs::path sessions = dataDir_ / "Sessions";
    fs::create_directories(sessions, ec);
    if (ec)
        return Error{"Cannot make " + sessions.string() + ": " + ec.message()};
    const std::string base = folder_.filename().string();
    for (int n = 1;; ++n) {
        const fs::path f = sessions / (n == 1 ? base : base + " (" + std::to_string(n) + ")");
        if (fs::create_directory(f, ec)) {
            folder_ = f;
            break;
        }
        if (ec)
            return Error{"Cannot make " + f.string() + ": " + ec.message()};
    }
    return begin();
}

void SessionBag::hashFinishedCaptures() {
    std::error_code ec;
    std::map<std::string, std::pair<std::uintmax_t, long long>> seen;
    for (const auto& e : fs::directory_iterator(dataDir_, ec)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file(ec) || isLog(name) || atStart_.files.contains(name) ||
            name.starts_with("."))
            continue;
        const std::pair<std::uintmax_t, long long> now{
            e.file_size(ec), e.last_write_time(ec).time_since_epoch().count()};
        seen[name] = now;
        // Unchanged since the last look: finished.
        if (auto it = lastSeen_.find(name); it != lastSeen_.end() && it->second == now)
            (void)hashes_.digest(e.path());
    }
    lastSeen_ = std::move(seen);
}

SessionBag::~SessionBag() {
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

Status SessionBag::seal(const LocalDateTime& end, const fs::path& settingsFile) {
    if (sealed_)
        return {};
    // A data folder that went away is made again for the seal.
    if (Status s = reattach(); !s)
        return s;
    sealed_ = true;
    const Status traced = trace_->close();
    journal_.close();
    auto settings = readFileBytes(settingsFile, kMaxSettingsBytes);
    if (Status s = writeFileBytesAtomic(folder_ / "data" / "settings-at-exit.ini",
                                        settings ? *settings : std::string());
        !s)
        return s;
    const StartState start = {isoTime(info_.start), info_.version, info_.unit, atStart_};
    const auto mended = mendCaptures(folder_, dataDir_, start, nullptr, outside_, mender_);
    if (Status s = gatherPayload(folder_, dataDir_, start, nullptr, outside_); !s)
        return s;
    if (Status s = sealBag(folder_, withMended(describe(start, isoTime(end), "normally"), mended),
                           baggingDate(end), &hashes_);
        !s)
        return s;
    removeHidden(folder_);
    ::close(lockFd_);
    lockFd_ = -1;
    return traced;
}

bool liesIn(const fs::path& file, const fs::path& folder) {
    std::error_code ec;
    const fs::path parent = file.parent_path();
    if (fs::equivalent(parent, folder, ec))
        return true;
    auto norm = [&ec](const fs::path& p) {
        fs::path n = fs::weakly_canonical(p, ec).lexically_normal();
        return n.has_filename() || !n.has_parent_path() ? n : n.parent_path(); // "a/b/" is "a/b"
    };
    return norm(parent) == norm(folder);
}

bool hasUnsealedSessions(const fs::path& dataDir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dataDir / "Sessions", ec))
        if (fs::exists(e.path() / kLockFile, ec) || fs::exists(e.path() / ".lock.part", ec))
            return true;
    return false;
}

namespace {

// The start state of an unsealed session: from its lock, or from the
// file an earlier version kept it in. Empty when neither holds it.
std::optional<StartState> startStateOf(const fs::path& bag, int lockFd) {
    std::string text;
    struct stat st {};
    if (::fstat(lockFd, &st) == 0 && st.st_size > 0 &&
        static_cast<std::uint64_t>(st.st_size) <= kMaxStateBytes) {
        text.resize(static_cast<std::size_t>(st.st_size));
        const ssize_t n = ::pread(lockFd, text.data(), text.size(), 0);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    } else if (auto legacy = readFileBytes(bag / kLegacyStartFile, kMaxStateBytes)) {
        text = std::move(*legacy);
    }
    StartState s = parseState(text);
    if (s.start.empty())
        return std::nullopt;
    return s;
}

// What the journal's start line says, for a session whose start state is lost.
StartState startFromJournal(const fs::path& bag) {
    StartState s;
    const int fd = ::open((bag / "data" / "journal.jsonl").c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return s;
    std::string head(4096, '\0');
    const ssize_t n = ::read(fd, head.data(), head.size());
    ::close(fd);
    head.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::string first = head.substr(0, head.find('\n'));
    if (journalField(first, "event") == "start") {
        s.start = journalField(first, "time").value_or("");
        s.version = journalField(first, "version").value_or("");
        s.unit = journalField(first, "unit").value_or("");
    }
    return s;
}

// The recordings a session made outside its data folder, as its journal
// names them.
std::set<fs::path> outsideCaptures(const fs::path& bag, const fs::path& dataDir) {
    std::set<fs::path> r;
    const int fd = ::open((bag / "data" / "journal.jsonl").c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return r;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return r;
    }
    std::string rest;
    char buf[1 << 16];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) {
        rest.append(buf, static_cast<std::size_t>(n));
        std::size_t from = 0;
        for (std::size_t nl; (nl = rest.find('\n', from)) != std::string::npos; from = nl + 1) {
            const std::string_view line(rest.data() + from, nl - from);
            if (line.find("\"event\":\"recording\"") == std::string_view::npos ||
                journalField(line, "state") != "started")
                continue;
            const fs::path file = journalField(line, "file").value_or("");
            if (!file.empty() && !liesIn(file, dataDir))
                r.insert(file);
        }
        rest.erase(0, from);
        if (rest.size() > (1 << 20)) // no line of ours is that long
            rest.clear();
    }
    ::close(fd);
    return r;
}

AbandonedSeal sealOne(const fs::path& bag, int lockFd, const fs::path& dataDir,
                      const LocalDateTime& now, const DataFolderState& upTo,
                      const CaptureMender& mender) {
    AbandonedSeal r{bag.filename().string(), {}};
    removeSealLeftovers(bag);
    const JournalTail tail = journalTail(bag / "data" / "journal.jsonl");
    const std::optional<StartState> known = startStateOf(bag, lockFd);
    const StartState start = known ? *known : startFromJournal(bag);
    std::error_code ec;
    if (fs::exists(bag / "data" / "trace.gz", ec))
        (void)repairGzip(bag / "data" / "trace.gz");
    // Without its start state the session's own rows and captures cannot be
    // told from those before it: none are taken.
    std::vector<std::string> mended;
    if (known) {
        const std::set<fs::path> outside = outsideCaptures(bag, dataDir);
        mended = mendCaptures(bag, dataDir, *known, &upTo, outside, mender);
        if (Status s = gatherPayload(bag, dataDir, *known, &upTo, outside); !s) {
            r.status = s;
            return r;
        }
    } else {
        fs::create_directories(bag / "data", ec);
    }
    std::string how;
    std::string end = tail.endTime;
    if (!end.empty()) {
        // Its program ended the session and was stopped while it sealed.
        how =
            "normally; sealed at " + isoTime(now) + " after its program was stopped while sealing";
    } else {
        end = tail.lastTime.empty() ? start.start : tail.lastTime;
        how = "unexpectedly; its last journal line was written at " + end + ", sealed at " +
              isoTime(now);
    }
    if (!known)
        how += "; its start state was lost, so the logs' rows and the captures of the session are "
               "not in the bag";
    if (!fs::exists(bag / "data" / "settings-at-exit.ini", ec) && !tail.endTime.empty())
        how += "; the settings at exit were not kept";
    r.status = sealBag(bag, withMended(describe(start, end, how), mended), baggingDate(now));
    return r;
}

} // namespace

std::vector<AbandonedSeal> sealAbandoned(const fs::path& dataDir, const LocalDateTime& now,
                                         const DataFolderState& upTo, const CaptureMender& mender) {
    std::vector<AbandonedSeal> sealed;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dataDir / "Sessions", ec)) {
        const fs::path bag = e.path();
        if (!fs::exists(bag / kLockFile, ec)) {
            // A start killed before its lock got its name: nothing was
            // recorded into it yet.
            if (fs::exists(bag / ".lock.part", ec) && !fs::exists(bag / "data" / "journal.jsonl"))
                fs::remove_all(bag, ec);
            continue;
        }
        const int fd = ::open((bag / kLockFile).c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Locked: its program still runs (another instance).
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        AbandonedSeal r = sealOne(bag, fd, dataDir, now, upTo, mender);
        if (r.status)
            removeHidden(bag);
        ::close(fd);
        sealed.push_back(std::move(r));
    }
    return sealed;
}

std::vector<std::string> verifySession(const fs::path& bag) {
    return verifyBag(bag);
}

} // namespace kestle::evidence
