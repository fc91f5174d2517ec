// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What happens in a session, as data. The part that causes an event
// publishes it; the journal, the headless output lines, the live chart and
// the remote view subscribe. Nothing learns what happened by reading
// display text, so rewording a status line changes no record.
//
// Threads: publish() and subscribe() on the window thread only; handlers
// run there, synchronously, in the order they subscribed. A handler may
// subscribe or drop subscriptions (its own included) while it runs.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestle::events {

enum class Media { Audio, Video };

// The operator asked a question (the question box's text, as asked).
struct Question {
    std::string text;
};
// A word was chosen: `mode` 0 volts, 1 frequency, 2 field; `level` chose it.
struct Word {
    std::string word;
    int mode = 0;
    std::int32_t level = 0;
};
// Limits tripped in one check of the readings.
struct AlarmTrip {
    int limit = 0;         // 0 to 11, in check order
    double value = 0;      // the reading that tripped it
    std::string limitText; // the limit as set
};
struct Alarm {
    std::string text; // the lines the alarm window got, CR LF ended
    std::vector<AlarmTrip> trips;
};
// An operation on a capture control, as the call log writes it without
// its "CAPTURE " head: `Audio.Start`, `Video.CaptureFileName = "path"`.
struct CaptureCall {
    std::string call;
};
// A recording's file was made (its real name: " (2)" when the asked one
// existed) and receives samples or frames.
struct RecordingStarted {
    Media media = Media::Audio;
    std::string file;
};
// A recording's file is finished; `problem` says why it was cut short
// (empty: it ended as asked).
struct RecordingFinished {
    Media media = Media::Audio;
    std::string file;
    std::string problem;
};
// A picture of the camera saved.
struct Snapshot {
    std::string file;
};
// The main display saved as a picture.
struct ScreenCapture {
    std::string file;
};
// A voice spoke (1 to 4), or fell quiet.
struct Speech {
    int voice = 0;
    std::string text;
};
struct Quiet {
    int voice = 0;
};
struct Plug {};
struct Unplug {};
// A message box shown.
struct Message {
    std::string title, text;
};
// A text shown in the status line.
struct Status {
    std::string text;
};
// A dialog answered: kind "input", "file" or "colour"; no answer when it
// was cancelled; `byOperator` when a person answered it in the window.
struct Dialog {
    std::string kind, title;
    std::optional<std::string> answer;
    bool byOperator = false;
};
// An operator's action, as the script command that repeats it.
struct Action {
    std::string command;
};
// A mark put into the session: an optional note, and who made it
// ("window", "script", or the name a paired device gave).
struct Mark {
    std::string note, by;
};

using Event =
    std::variant<Question, Word, Alarm, CaptureCall, RecordingStarted, RecordingFinished, Snapshot,
                 ScreenCapture, Speech, Quiet, Plug, Unplug, Message, Status, Dialog, Action, Mark>;

class SessionEvents {
  public:
    using Handler = std::function<void(const Event&)>;

    // Keeps a handler subscribed while it lives; dropping it unsubscribes.
    // It may outlive the SessionEvents.
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&&) noexcept;
        ~Subscription();
        void reset();
        explicit operator bool() const { return static_cast<bool>(slot_); }

      private:
        friend class SessionEvents;
        std::shared_ptr<struct Slot> slot_;
    };

    SessionEvents() = default;
    SessionEvents(const SessionEvents&) = delete;
    SessionEvents& operator=(const SessionEvents&) = delete;

    [[nodiscard]] Subscription subscribe(Handler h);
    void publish(const Event& e);

  private:
    std::vector<std::weak_ptr<Slot>> slots_;
};

} // namespace kestle::events
