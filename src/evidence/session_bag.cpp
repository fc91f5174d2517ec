#include "evidence/session_bag.h"

#include "support/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace kestle::evidence {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxSettingsBytes = 1 << 20;
constexpr std::uint64_t kMaxStateBytes = 64ull << 20;

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
Status gatherPayload(const fs::path& bag, const fs::path& dataDir, const StartState& start,
                     const DataFolderState* upTo) {
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
        fs::create_directories(dst.parent_path(), ec);
        if (fs::exists(dst))
            continue;
        // A link costs nothing, even for an hour of video; a copy where the
        // file system has none.
        fs::create_hard_link(e.path(), dst, ec);
        if (ec && !fs::copy_file(e.path(), dst, ec))
            return Error{"Cannot copy " + e.path().string() + " into the session: " + ec.message()};
    }
    return {};
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

void removeHidden(const fs::path& bag) {
    std::error_code ec;
    fs::remove(bag / ".session-start", ec);
    fs::remove(bag / ".lock", ec);
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
    const fs::path lock = bag->folder_ / ".lock";
    bag->lockFd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (bag->lockFd_ < 0 || ::flock(bag->lockFd_, LOCK_EX | LOCK_NB) != 0)
        return Error{"Cannot lock " + lock.string() + ": " + std::strerror(errno)};
    fs::create_directories(bag->folder_ / "data", ec);
    if (Status s = writeFileBytesAtomic(
            bag->folder_ / ".session-start",
            stateText({isoTime(info.start), info.version, info.unit, atStart}));
        !s)
        return Error{s.error()};
    if (Status s =
            writeFileBytesAtomic(bag->folder_ / "data" / "settings-at-start.ini", settingsAtStart);
        !s)
        return Error{s.error()};
    if (Status s = bag->journal_.open(bag->folder_ / "data" / "journal.jsonl"); !s)
        return Error{s.error()};
    bag->trace_ = std::make_unique<GzTrace>(std::move(nowMs));
    if (Status s = bag->trace_->open(bag->folder_ / "data" / "trace.gz"); !s)
        return Error{s.error()};
    return bag;
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
    sealed_ = true;
    const Status traced = trace_->close();
    auto settings = readFileBytes(settingsFile, kMaxSettingsBytes);
    if (Status s = writeFileBytesAtomic(folder_ / "data" / "settings-at-exit.ini",
                                        settings ? *settings : std::string());
        !s)
        return s;
    auto text = readFileBytes(folder_ / ".session-start", kMaxStateBytes);
    if (!text)
        return Error{text.error()};
    const StartState start = parseState(*text);
    if (Status s = gatherPayload(folder_, dataDir_, start, nullptr); !s)
        return s;
    if (Status s =
            sealBag(folder_, describe(start, isoTime(end), "normally"), baggingDate(end), &hashes_);
        !s)
        return s;
    removeHidden(folder_);
    ::close(lockFd_);
    lockFd_ = -1;
    return traced;
}

bool hasUnsealedSessions(const fs::path& dataDir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dataDir / "Sessions", ec))
        if (fs::exists(e.path() / ".lock", ec))
            return true;
    return false;
}

std::vector<AbandonedSeal> sealAbandoned(const fs::path& dataDir, const LocalDateTime& now,
                                         const DataFolderState& upTo) {
    std::vector<AbandonedSeal> sealed;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dataDir / "Sessions", ec)) {
        const fs::path bag = e.path();
        if (!fs::exists(bag / ".lock", ec))
            continue;
        const int fd = ::open((bag / ".lock").c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Locked: its program still runs (another instance).
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        AbandonedSeal r{bag.filename().string(), {}};
        auto text = readFileBytes(bag / ".session-start", kMaxStateBytes);
        const StartState start = text ? parseState(*text) : StartState{};
        auto journal = readFileBytes(bag / "data" / "journal.jsonl", kMaxStateBytes * 16);
        std::string last = journal ? lastJournalTime(*journal) : std::string();
        if (last.empty())
            last = start.start;
        if (fs::exists(bag / "data" / "trace.gz"))
            (void)repairGzip(bag / "data" / "trace.gz");
        if (!text)
            r.status = Error{text.error()};
        else if (Status s = gatherPayload(bag, dataDir, start, &upTo); !s)
            r.status = s;
        else
            r.status = sealBag(bag,
                               describe(start, last,
                                        "unexpectedly; its last journal line was written at " +
                                            last + ", sealed at " + isoTime(now)),
                               baggingDate(now));
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
