// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/session_model.h"
#include "review/event_view.h"

#include "capture/wav_writer.h"

#include "evidence/bag_names.h"
#include "evidence/bag_verify.h"
#include "evidence/replay_plan.h"
#include "review/answer_window.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace kestle::review {

namespace fs = std::filesystem;

namespace {

using evidence::BagReader;

// A night's journal and logs are far below these.
constexpr std::uint64_t kMaxJournalBytes = 1ull << 30, kMaxLogBytes = 1ull << 30;
constexpr std::uint64_t kMaxSettingsBytes = 1 << 20, kMaxInfoBytes = 16 << 20;
constexpr std::uint64_t kMaxManifestBytes = 256ull << 20;

std::string readText(const BagReader& bag, std::string_view rel, std::uint64_t maxBytes) {
    auto r = bag.readAll(rel, maxBytes);
    return r ? std::move(*r) : std::string();
}

// A text's lines in place, as LF or CR LF end them.
bool nextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
    if (pos >= text.size())
        return false;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        end = text.size();
    line = text.substr(pos, end - pos);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    pos = end + 1;
    return true;
}

// A bag file's lines, read as they are needed: at most `maxBytes` of it. A
// file that is missing has none; `why` says what ended the reading early.
class BagLines {
  public:
    BagLines(const BagReader& bag, std::string_view rel, std::uint64_t maxBytes) {
        auto info = bag.inspect(rel);
        if (!info || info->kind == evidence::EntryKind::Missing)
            return;
        if (info->size > maxBytes) {
            why_ =
                std::string(rel) + ": larger than " + evidence::bytesText(maxBytes) + "; not read";
            return;
        }
        auto lines = bag.lines(rel, false);
        if (lines)
            lines_.emplace(std::move(*lines));
        else
            why_ = lines.error();
    }
    bool next(std::string_view& line) {
        if (!lines_)
            return false;
        auto more = lines_->next(line);
        if (more)
            return *more;
        why_ = more.error();
        lines_.reset();
        return false;
    }
    // Empty when every line was read.
    const std::string& why() const { return why_; }

  private:
    std::optional<evidence::LineReader> lines_;
    std::string why_;
};

// A text as the capture call lines quote it: "..." with \" \\ \r \n \t.
std::string unquoted(std::string_view q) {
    if (q.size() < 2 || q.front() != '"' || q.back() != '"')
        return std::string(q);
    std::string out;
    for (std::size_t i = 1; i + 1 < q.size(); ++i) {
        if (q[i] == '\\' && i + 2 < q.size()) {
            const char c = q[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += q[i];
        }
    }
    return out;
}

std::string withoutLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The payload's regular files and their sizes, nothing followed.
std::map<std::string, std::uint64_t> payloadSizes(const BagReader& bag) {
    std::map<std::string, std::uint64_t> sizes;
    (void)bag.walk("data", [&sizes](const std::string& path, const evidence::EntryInfo& info) {
        if (info.kind == evidence::EntryKind::Regular)
            sizes.emplace(path, info.size);
        return Status{};
    });
    return sizes;
}

std::vector<FileEntry> manifestFiles(const BagReader& bag, const char* manifest, bool tag,
                                     const std::map<std::string, std::uint64_t>& sizes) {
    std::vector<FileEntry> out;
    BagLines lines(bag, manifest, kMaxManifestBytes);
    for (std::string_view line; lines.next(line);) {
        auto parts = evidence::splitManifestLine(line);
        if (!parts)
            continue;
        FileEntry f{evidence::decodeManifestPath(std::string(parts->name)),
                    std::string(parts->checksum), 0, tag};
        if (tag) {
            auto info = bag.inspect(f.path);
            if (info && info->kind == evidence::EntryKind::Regular)
                f.size = info->size;
        } else if (auto it = sizes.find(f.path); it != sizes.end()) {
            f.size = it->second;
        }
        out.push_back(std::move(f));
    }
    return out;
}

} // namespace

const char* eventKindName(EventKind k) {
    switch (k) {
    case EventKind::Start:
        return "Start";
    case EventKind::End:
        return "End";
    case EventKind::Question:
        return "Question";
    case EventKind::Word:
        return "Word";
    case EventKind::Alarm:
        return "Alarm";
    case EventKind::Screen:
        return "Screen capture";
    case EventKind::Snapshot:
        return "Snapshot";
    case EventKind::Recording:
        return "Recording";
    case EventKind::Plug:
        return "Plugged in";
    case EventKind::Unplug:
        return "Unplugged";
    case EventKind::Message:
        return "Message";
    case EventKind::Status:
        return "Status";
    case EventKind::Mark:
        return "Session mark";
    case EventKind::Other:
        break;
    }
    return "Event";
}

std::optional<Event> CaptureCalls::call(std::string_view c) {
    auto after = [c](std::string_view head) { return unquoted(c.substr(head.size())); };
    static constexpr std::string_view kAudioName = "Audio.CaptureFileName = ",
                                      kVideoName = "Video.CaptureFileName = ",
                                      kSnapshot = "Video.SnapShot ";
    Event e;
    if (c.starts_with(kAudioName)) {
        audio_ = after(kAudioName);
    } else if (c.starts_with(kVideoName)) {
        video_ = after(kVideoName);
    } else if (c.starts_with("Video.CaptureToFile = ")) {
        videoToFile_ = c.ends_with("True");
    } else if (c == "Audio.Start" || (c == "Video.Start" && videoToFile_)) {
        const bool audio = c == "Audio.Start";
        e.kind = EventKind::Recording;
        e.detail = audio ? audio_ : video_;
        e.text = recordingCaption(e.detail, audio);
        return e;
    } else if (c.starts_with(kSnapshot)) {
        e.kind = EventKind::Snapshot;
        e.detail = after(kSnapshot);
        e.text = fileName(e.detail);
        return e;
    }
    return std::nullopt;
}

std::optional<Event> CaptureCalls::status(std::string_view text) {
    static constexpr std::string_view kScreen = "Screen captured: ";
    if (!text.starts_with(kScreen))
        return std::nullopt;
    Event e;
    e.kind = EventKind::Screen;
    e.text = std::string(text);
    e.detail = std::string(text.substr(kScreen.size()));
    return e;
}

std::vector<Event> journalEvents(const std::function<bool(std::string_view&)>& nextLine,
                                 std::int64_t startMs, const std::vector<FileEntry>& files,
                                 const std::function<bool(const Event&)>& keep) {
    std::map<std::string, std::string> byName; // file name -> the bag's copy
    for (const FileEntry& f : files)
        if (f.path.starts_with("data/captures/"))
            byName[fileName(f.path)] = f.path;
    auto inBag = [&byName](const std::string& path) {
        auto it = byName.find(fileName(path));
        return it == byName.end() ? std::string() : it->second;
    };

    // Journals of this version tell recordings, snapshots and screen
    // captures as events of their own, with the files' real names; older
    // ones only through the capture calls and the status line. What the
    // calls and status texts suggest is undone at the end where the journal
    // told the same kind of its own.
    bool typedRecordings = false, typedSnapshots = false, typedScreens = false;
    struct Guessed {
        std::size_t at;
        std::string text;
        EventKind was;
    };
    std::vector<Guessed> guessed;
    std::vector<Event> out;
    CaptureCalls captures;
    std::ptrdiff_t question = -1; // the question the next words answer
    AnswerWindows answering;      // until when they answer it
    for (std::string_view line; nextLine(line);) {
        const auto name = evidence::journalField(line, "event");
        const auto t = evidence::journalField(line, "t");
        if (!name || !t)
            continue; // a line cut short by a kill
        auto field = [&line](const char* key) {
            return evidence::journalField(line, key).value_or(std::string());
        };
        Event e;
        e.ms = startMs + std::strtoll(t->c_str(), nullptr, 10);
        e.name = *name;
        if (e.name == "start") {
            e.kind = EventKind::Start;
            e.text = "Session started";
            e.detail = field("unit");
        } else if (e.name == "end") {
            e.kind = EventKind::End;
            e.text = "Session ended";
        } else if (e.name == "question") {
            e.kind = EventKind::Question;
            e.text = withoutLineEnd(field("text"));
            question = static_cast<std::ptrdiff_t>(out.size());
            answering.asked(e.ms);
        } else if (e.name == "word") {
            e.kind = EventKind::Word;
            e.text = field("word");
            while (!e.text.empty() && e.text.back() == ' ')
                e.text.pop_back();
            e.detail = field("mode") + ", level " + field("level");
            if (question >= 0 && answering.answers(e.ms))
                out[static_cast<std::size_t>(question)].words.push_back(e.text);
        } else if (e.name == "alarm") {
            e.kind = EventKind::Alarm;
            e.text = withoutLineEnd(field("text"));
        } else if (e.name == "plug" || e.name == "unplug") {
            e.kind = e.name == "plug" ? EventKind::Plug : EventKind::Unplug;
            e.text = e.name == "plug" ? "Kestle plugged in" : "Kestle unplugged";
        } else if (e.name == "mark") {
            e.kind = EventKind::Mark;
            e.text = markCaption(field("note"));
            e.detail = field("by");
        } else if (e.name == "message") {
            e.kind = EventKind::Message;
            e.text = field("text");
            e.detail = field("title");
        } else if (e.name == "recording") {
            typedRecordings = true;
            const bool audio = field("media") == "audio";
            e.detail = field("file");
            e.file = inBag(e.detail);
            if (field("state") == "started") {
                e.kind = EventKind::Recording;
                e.text = recordingCaption(e.detail, audio);
            } else {
                e.text = recordingCaption(e.detail, audio) + " finished";
                if (const std::string why = field("problem"); !why.empty())
                    e.text += ": " + why;
            }
        } else if (e.name == "snapshot" || e.name == "screen-capture") {
            const bool snapshot = e.name == "snapshot";
            (snapshot ? typedSnapshots : typedScreens) = true;
            e.kind = snapshot ? EventKind::Snapshot : EventKind::Screen;
            e.detail = field("file");
            e.text = snapshot ? baseName(e.detail) : "Screen captured: " + e.detail;
            e.file = inBag(e.detail);
        } else if (e.name == "status") {
            e.text = field("text");
            e.kind = EventKind::Status;
            if (auto c = CaptureCalls::status(e.text)) {
                guessed.push_back({out.size(), e.text, EventKind::Status});
                e.kind = c->kind;
                e.detail = c->detail;
                e.file = inBag(e.detail);
            }
        } else if (e.name == "capture") {
            e.text = field("call");
            if (auto c = captures.call(e.text)) {
                guessed.push_back({out.size(), e.text, EventKind::Other});
                e.kind = c->kind;
                e.text = c->text;
                e.detail = c->detail;
                e.file = inBag(c->detail);
            }
        } else {
            if (e.name == "action")
                answering.action(field("command"), e.ms);
            for (const char* key : {"text", "line", "command", "answer", "folder"})
                if (e.text = field(key); !e.text.empty())
                    break;
        }
        if (e.kind == EventKind::Question || !keep || keep(e))
            out.push_back(std::move(e));
        else if (!guessed.empty() && guessed.back().at == out.size())
            guessed.pop_back();
    }
    for (const Guessed& g : guessed) {
        Event& e = out[g.at];
        const bool told = e.kind == EventKind::Recording  ? typedRecordings
                          : e.kind == EventKind::Snapshot ? typedSnapshots
                                                          : typedScreens;
        if (!told)
            continue;
        e.kind = g.was;
        e.text = g.text;
        e.detail.clear();
        e.file.clear();
    }
    // The session clock only goes forward; kept stable for equal times.
    std::stable_sort(out.begin(), out.end(),
                     [](const Event& a, const Event& b) { return a.ms < b.ms; });
    return out;
}

std::vector<Event> journalEvents(std::string_view journal, std::int64_t startMs,
                                 const std::vector<FileEntry>& files) {
    std::size_t pos = 0;
    return journalEvents([&](std::string_view& line) { return nextLine(journal, pos, line); },
                         startMs, files);
}

namespace {

// A sound recording ends at the next stop or the next recording (a new
// name switches files without a stop); it began its length before that,
// which holds the seconds kept from before an alarm.
void placeRecordings(const BagReader& bag, std::vector<Event>& events) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        Event& e = events[i];
        e.heardFromMs = e.ms;
        if (e.kind != EventKind::Recording || !e.file.ends_with(".wav"))
            continue;
        std::string head(capture::kWavHeaderBytes, '\0');
        auto in = bag.openFile(e.file);
        if (!in)
            continue;
        auto got = in->readAt(0, head.data(), head.size());
        if (!got || *got != head.size())
            continue;
        e.durationMs = capture::wavDurationMs(head).value_or(0);
        for (std::size_t j = i + 1; j < events.size(); ++j) {
            const Event& n = events[j];
            // Its own end where the journal tells it; else the next stop.
            const bool finished = n.name == "recording" && n.kind != EventKind::Recording;
            if ((finished && n.detail == e.detail) ||
                (!finished && n.name == "capture" && n.text == "Audio.Stop") ||
                (n.kind == EventKind::Recording && n.file.ends_with(".wav"))) {
                e.heardFromMs = std::min(e.ms, n.ms - e.durationMs);
                break;
            }
        }
    }
}

} // namespace

std::optional<Playback> recordingAt(const std::vector<Event>& events, std::int64_t ms) {
    std::optional<Playback> found;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.kind == EventKind::Recording && e.heardFromMs <= ms &&
            ms < e.heardFromMs + e.durationMs)
            found = Playback{i, ms - e.heardFromMs};
    }
    return found;
}

Result<SessionModel> loadSession(const fs::path& folder, bool verify, evidence::StopFlag stop) {
    SessionModel m;
    m.folder = folder;
    m.name = folder.filename().string();
    if (m.name.empty())
        m.name = folder.parent_path().filename().string();
    auto opened = BagReader::open(folder, {}, stop);
    if (!opened)
        return Error{opened.error()};
    const BagReader& bag = *opened;
    constexpr const char* kJournal = "data/journal.jsonl";
    std::int64_t startT = 0;
    bool started = false;
    {
        BagLines journal(bag, kJournal, kMaxJournalBytes);
        for (std::string_view line; journal.next(line);) {
            if (evidence::journalField(line, "event") != "start")
                continue;
            const auto time = evidence::journalField(line, "time");
            if (!time || !parseIsoDateTime(*time, m.start))
                break;
            startT =
                std::strtoll(evidence::journalField(line, "t").value_or("0").c_str(), nullptr, 10);
            m.version = evidence::journalField(line, "version").value_or("");
            m.unit = evidence::journalField(line, "unit").value_or("");
            started = true;
            break;
        }
        if (bag.stopped())
            return Error{"stopped"};
        if (!started)
            return Error{folder.string() +
                         " is not a session's bag: it has no journal with a start" +
                         (journal.why().empty() ? "" : " (" + journal.why() + ")")};
    }
    // Each line's "time" is its session clock's second, floored: the latest
    // of (time - t) is the nearest to when the clock read 0. Worked out as
    // the events are read, which are put in place after.
    m.startMs = localMs(m.start) - startT;
    if (verify) {
        evidence::VerifyOptions options;
        options.stop = stop;
        const evidence::Verification v = evidence::checkBag(folder, options);
        m.problems = v.problems;
        for (const std::string& u : v.unchecked)
            m.problems.push_back("not checked: " + u);
        m.verified = !v.stopped;
    }
    m.info = evidence::parseBagInfo(readText(bag, "bag-info.txt", kMaxInfoBytes));
    const auto sizes = payloadSizes(bag);
    m.files = manifestFiles(bag, "manifest-sha256.txt", false, sizes);
    for (FileEntry& f : manifestFiles(bag, "tagmanifest-sha256.txt", true, sizes))
        m.files.push_back(std::move(f));
    m.settingsAtStart = readText(bag, "data/settings-at-start.ini", kMaxSettingsBytes);
    m.settingsAtExit = readText(bag, "data/settings-at-exit.ini", kMaxSettingsBytes);

    {
        BagLines journal(bag, kJournal, kMaxJournalBytes);
        auto next = [&journal, &m](std::string_view& line) {
            if (!journal.next(line))
                return false;
            LocalDateTime at;
            const auto time = evidence::journalField(line, "time");
            const auto t = evidence::journalField(line, "t");
            if (time && t && parseIsoDateTime(*time, at))
                m.startMs = std::max<std::int64_t>(
                    m.startMs, localMs(at) - std::strtoll(t->c_str(), nullptr, 10));
            return true;
        };
        std::size_t kept = 0;
        auto keep = [&kept, &m](const Event& e) {
            const bool bulk = e.kind == EventKind::Word || e.kind == EventKind::Status ||
                              (e.kind == EventKind::Other &&
                               (e.name == "speech" || e.name == "action" || e.name == "dialog"));
            if (bulk && kept >= kMaxKeptEvents) {
                ++m.eventsNotKept;
                return false;
            }
            ++kept;
            return true;
        };
        m.events = journalEvents(next, 0, m.files, keep);
        for (Event& e : m.events)
            e.ms += m.startMs;
        if (!journal.why().empty())
            m.problems.push_back(journal.why() + "; the events after it are not shown");
    }
    placeRecordings(bag, m.events);
    m.endMs = m.events.empty() ? m.startMs : m.events.back().ms;
    for (const Event& e : m.events)
        if (e.kind == EventKind::End) {
            m.ended = true;
            m.endMs = e.ms;
        }
    m.end = fromEpochSeconds(m.endMs / 1000);

    std::vector<Reading> readings;
    for (const char* log : {"data/logs/CV_data_file.csv", "data/logs/CV_rf_threshold.csv"}) {
        std::optional<bool> dayFirst;
        {
            BagLines rows(bag, log, kMaxLogBytes);
            for (std::string_view row; !dayFirst && rows.next(row);)
                dayFirst = rowDayFirst(row, m.start);
        }
        LogReadings r(dayFirst.value_or(false));
        BagLines rows(bag, log, kMaxLogBytes);
        for (std::string_view row; rows.next(row);)
            r.row(row);
        if (!rows.why().empty())
            m.problems.push_back(rows.why() + "; the readings after it are not shown");
        std::vector<Reading> more = r.finish();
        readings.insert(readings.end(), more.begin(), more.end());
    }
    if (bag.stopped())
        return Error{"stopped"};
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading& a, const Reading& b) { return a.ms < b.ms; });
    for (auto& s : m.series)
        s.reserve(readings.size());
    for (const Reading& r : readings)
        for (int i = 0; i < kSeriesCount; ++i)
            m.series[static_cast<std::size_t>(i)].push_back(
                {r.ms, r.values[static_cast<std::size_t>(i)]});
    if (!readings.empty())
        m.endMs = std::max(m.endMs, readings.back().ms);
    return m;
}

} // namespace kestle::review
