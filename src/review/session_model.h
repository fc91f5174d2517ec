// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A session read back from its sealed bag, for looking at a night: the
// bag's description, the settings, the verification result, every file
// with its SHA-256 from the manifest, the readings of the logs per series
// and the journal's events in time order. No toolkit; any thread.
#include "evidence/bag_reader.h"
#include "evidence/bagit.h"
#include "review/log_rows.h"
#include "support/datetime.h"
#include "support/result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestle::review {

struct Point {
    std::int64_t ms; // as Reading::ms
    double value;
};

enum class EventKind {
    Start,
    End,
    Question,  // text; words: the words chosen until the next question
    Word,      // text: the word; detail: mode and level
    Alarm,     // text: the alarm lines
    Screen,    // a screen capture; file
    Snapshot,  // a picture from the camera; file
    Recording, // a sound or video recording started; file
    Plug,
    Unplug,
    Message, // text (and detail: the title)
    Status,  // text
    Mark,    // a mark put into the session: text the note, detail who made it
    Other    // speech, dialogs, actions, other capture calls: text is the line's gist
};
const char* eventKindName(EventKind k);

struct Event {
    std::int64_t ms = 0; // as Reading::ms, to the millisecond of the session clock
    EventKind kind = EventKind::Other;
    std::string name; // the journal's event name
    std::string text;
    std::string detail;
    std::string file; // the bag's copy, relative to the bag ("data/captures/..."), or empty
    std::vector<std::string> words;
    // A WAV recording's length as its header states, an alarm episode's
    // span (alarm_episodes.h); 0: unknown.
    std::int64_t durationMs = 0;
    // The session time of a WAV recording's first sample: before `ms` when
    // it starts with the seconds before an alarm.
    std::int64_t heardFromMs = 0;
};

struct FileEntry {
    std::string path; // relative to the bag, as the manifest names it
    std::string sha256;
    std::uint64_t size = 0; // 0 when the file is missing
    bool tag = false;       // a tag file (tagmanifest), not payload
};

struct SessionModel {
    std::filesystem::path folder;
    std::string name; // the bag's folder name
    evidence::BagInfo info;
    LocalDateTime start, end;
    bool ended = false; // false: the journal has no end (the program died)
    std::int64_t startMs = 0, endMs = 0;
    std::string version, unit;
    std::string settingsAtStart, settingsAtExit;
    bool verified = false;
    std::vector<std::string> problems; // from verifyBag; empty: valid (when verified)
    std::vector<FileEntry> files;
    std::array<std::vector<Point>, kSeriesCount> series;
    std::vector<Event> events; // in time order
    // Words, speech and status lines of a long night past the first
    // kMaxKeptEvents events: counted, not kept.
    std::size_t eventsNotKept = 0;
};

// What the capture calls and status texts of a session mean for a review
// (a recording started, a snapshot or a screen capture taken), as the
// journal and the live chart see them; the calls that set a file name are
// remembered for the start that follows. Events carry the kind, the text
// (the file's name) and detail ("audio"/"video", the screen capture's
// path); ms and file are the caller's.
class CaptureCalls {
  public:
    // `call` without its "CAPTURE " head.
    std::optional<Event> call(std::string_view call);
    static std::optional<Event> status(std::string_view text);

  private:
    std::string audio_, video_;
    bool videoToFile_ = false; // else a start is the live picture's
};

// The WAV recording among `events` that was running at `ms` (the latest
// started, when several were), and how far into it `ms` lies: a question or
// an alarm is heard from its moment.
struct Playback {
    std::size_t event;
    std::int64_t fromMs;
};
std::optional<Playback> recordingAt(const std::vector<Event>& events, std::int64_t ms);

inline constexpr std::size_t kMaxKeptEvents = 200'000;

// Reads the bag at `folder` through the guarded bag reader (bounded: the
// journal and the logs at most 1 GiB each and read line by line, tag texts
// and settings a few MiB), and verifies it when `verify` (hashing every
// file: the longest part for a long night; a window shows the night first
// and verifies after). Ends soon after `stop` is set ("stopped"). An error
// when it holds no journal with a start (not a session's bag); everything
// else that is wrong or missing is among `problems`.
Result<SessionModel> loadSession(const std::filesystem::path& folder, bool verify = true,
                                 evidence::StopFlag stop = {});

// The events of a journal, in time order; `startMs` is the local time of
// the line with "t" = 0. `nextLine` gives the journal's lines one by one
// (false at the end); `keep`, when given, says which events are kept (a
// long night's bound on memory): a question always is, and the words it
// drops still answer their question.
std::vector<Event> journalEvents(const std::function<bool(std::string_view&)>& nextLine,
                                 std::int64_t startMs, const std::vector<FileEntry>& files,
                                 const std::function<bool(const Event&)>& keep = {});
std::vector<Event> journalEvents(std::string_view journal, std::int64_t startMs,
                                 const std::vector<FileEntry>& files);

} // namespace kestle::review
