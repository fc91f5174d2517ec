#include "review/session_model.h"
#include "review/event_view.h"

#include "capture/wav_writer.h"

#include "evidence/replay_plan.h"
#include "review/answer_window.h"
#include "support/textfile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

namespace kestle::review {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxText = 1ull << 31; // a night's log is far below

std::string readText(const fs::path& p) {
    auto r = readFileBytes(p, kMaxText);
    return r ? std::move(*r) : std::string();
}

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

std::vector<FileEntry> manifestFiles(const fs::path& bag, const char* manifest, bool tag) {
    std::vector<FileEntry> out;
    auto lines = evidence::parseManifest(readText(bag / manifest));
    if (!lines)
        return out;
    for (const evidence::ManifestLine& l : *lines) {
        std::error_code ec;
        const auto size = fs::file_size(bag / l.path, ec);
        out.push_back({l.path, l.sha256, ec ? 0 : size, tag});
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

std::vector<Event> journalEvents(std::string_view journal, std::int64_t startMs,
                                 const std::vector<FileEntry>& files) {
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
    // ones only through the capture calls and the status line.
    auto has = [journal](std::string_view event) {
        return journal.find("\"event\":\"" + std::string(event) + "\"") != std::string_view::npos;
    };
    const bool typedRecordings = has("recording"), typedSnapshots = has("snapshot"),
               typedScreens = has("screen-capture");
    std::vector<Event> out;
    CaptureCalls captures;
    std::ptrdiff_t question = -1; // the question the next words answer
    AnswerWindows answering;      // until when they answer it
    for (const std::string& line : splitLines(journal)) {
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
        } else if (e.name == "message") {
            e.kind = EventKind::Message;
            e.text = field("text");
            e.detail = field("title");
        } else if (e.name == "recording") {
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
            e.kind = snapshot ? EventKind::Snapshot : EventKind::Screen;
            e.detail = field("file");
            e.text = snapshot ? baseName(e.detail) : "Screen captured: " + e.detail;
            e.file = inBag(e.detail);
        } else if (e.name == "status") {
            e.text = field("text");
            e.kind = EventKind::Status;
            if (auto c = typedScreens ? std::nullopt : CaptureCalls::status(e.text)) {
                e.kind = c->kind;
                e.detail = c->detail;
                e.file = inBag(e.detail);
            }
        } else if (e.name == "capture") {
            e.text = field("call");
            auto c = captures.call(e.text);
            if (c && (c->kind == EventKind::Recording ? typedRecordings : typedSnapshots))
                c.reset();
            if (c) {
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
        out.push_back(std::move(e));
    }
    // The session clock only goes forward; kept stable for equal times.
    std::stable_sort(out.begin(), out.end(),
                     [](const Event& a, const Event& b) { return a.ms < b.ms; });
    return out;
}

namespace {

// A sound recording ends at the next stop or the next recording (a new
// name switches files without a stop); it began its length before that,
// which holds the seconds kept from before an alarm.
void placeRecordings(const fs::path& bag, std::vector<Event>& events) {
    for (std::size_t i = 0; i < events.size(); ++i) {
        Event& e = events[i];
        e.heardFromMs = e.ms;
        if (e.kind != EventKind::Recording || !e.file.ends_with(".wav"))
            continue;
        std::string head(capture::kWavHeaderBytes, '\0');
        std::ifstream in(bag / e.file, std::ios::binary);
        if (!in.read(head.data(), std::streamsize(head.size())))
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

Result<SessionModel> loadSession(const fs::path& folder, bool verify) {
    SessionModel m;
    m.folder = folder;
    m.name = folder.filename().string();
    if (m.name.empty())
        m.name = folder.parent_path().filename().string();
    const std::string journal = readText(folder / "data/journal.jsonl");
    std::int64_t startT = 0;
    bool started = false;
    for (const std::string& line : splitLines(journal)) {
        if (evidence::journalField(line, "event") != "start")
            continue;
        const auto time = evidence::journalField(line, "time");
        if (!time || !parseIsoDateTime(*time, m.start))
            break;
        startT = std::strtoll(evidence::journalField(line, "t").value_or("0").c_str(), nullptr, 10);
        m.version = evidence::journalField(line, "version").value_or("");
        m.unit = evidence::journalField(line, "unit").value_or("");
        started = true;
        break;
    }
    if (!started)
        return Error{folder.string() + " is not a session's bag: it has no journal with a start"};
    // Each line's "time" is its session clock's second, floored: the latest
    // of (time - t) is the nearest to when the clock read 0.
    m.startMs = localMs(m.start) - startT;
    for (const std::string& line : splitLines(journal)) {
        LocalDateTime at;
        const auto time = evidence::journalField(line, "time");
        const auto t = evidence::journalField(line, "t");
        if (time && t && parseIsoDateTime(*time, at))
            m.startMs = std::max<std::int64_t>(m.startMs,
                                               localMs(at) - std::strtoll(t->c_str(), nullptr, 10));
    }

    if (verify) {
        m.problems = evidence::verifyBag(folder);
        m.verified = true;
    }
    m.info = evidence::parseBagInfo(readText(folder / "bag-info.txt"));
    m.files = manifestFiles(folder, "manifest-sha256.txt", false);
    for (FileEntry& f : manifestFiles(folder, "tagmanifest-sha256.txt", true))
        m.files.push_back(std::move(f));
    m.settingsAtStart = readText(folder / "data/settings-at-start.ini");
    m.settingsAtExit = readText(folder / "data/settings-at-exit.ini");

    m.events = journalEvents(journal, m.startMs, m.files);
    placeRecordings(folder, m.events);
    m.endMs = m.events.empty() ? m.startMs : m.events.back().ms;
    for (const Event& e : m.events)
        if (e.kind == EventKind::End) {
            m.ended = true;
            m.endMs = e.ms;
        }
    m.end = fromEpochSeconds(m.endMs / 1000);

    std::vector<Reading> readings;
    for (const char* log : {"CV_data_file.csv", "CV_rf_threshold.csv"}) {
        const std::string text = readText(folder / "data/logs" / log);
        std::vector<Reading> r = logReadings(text, logDayFirst(text, m.start));
        readings.insert(readings.end(), r.begin(), r.end());
    }
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
