// SPDX-License-Identifier: GPL-3.0-or-later
// The journal lines of session events: those bags sealed by earlier
// versions already hold keep their exact fields (the review and the replay
// read them), and the typed capture events carry their files.
#include "evidence/journal_events.h"

#include <gtest/gtest.h>

namespace kestle::evidence {
namespace {

std::string line(const events::Event& e) {
    auto entry = journalEntry(e);
    return entry ? entry->event + entry->fields.text() : "(none)";
}

TEST(JournalEvents, EachEventHasItsLineAndOldLinesKeepTheirFields) {
    using namespace events;
    const std::pair<Event, std::string> cases[] = {
        {Question{"Is anyone here?\r\n"}, R"(question,"text":"Is anyone here?\r\n")"},
        {Word{"cold", 2, -7}, R"(word,"word":"cold","mode":"field","level":-7)"},
        {Word{"x", 9, 1}, R"(word,"word":"x","mode":"volts","level":1)"},
        {Alarm{"a\r\nb\r\n", {{6, 12.5, "10"}}}, R"(alarm,"text":"a\r\nb\r\n")"},
        {CaptureCall{R"(Audio.CaptureFileName = "/d/x.wav")"},
         R"(capture,"call":"Audio.CaptureFileName = \"/d/x.wav\"")"},
        {Speech{3, "say \"hi\""}, R"(speech,"line":"3 \"say \\\"hi\\\"\"")"},
        {Quiet{2}, "(none)"},
        {Plug{}, "plug"},
        {Unplug{}, "unplug"},
        {Message{"The Kestle", "No unit"}, R"(message,"title":"The Kestle","text":"No unit")"},
        {events::Status{"Screen captured: /d/a.jpg"},
         R"(status,"text":"Screen captured: /d/a.jpg")"},
        {Dialog{"input", "Alarm Settings", "3", true},
         R"(dialog,"kind":"input","title":"Alarm Settings","answer":"3","operator":1)"},
        {Dialog{"file", "Save", std::nullopt, false},
         R"(dialog,"kind":"file","title":"Save","cancelled":1)"},
        {Action{"click av1"}, R"(action,"command":"click av1")"},
        {RecordingStarted{Media::Video, "/d/v (2).AVI"},
         R"(recording,"state":"started","media":"video","file":"/d/v (2).AVI")"},
        {RecordingFinished{Media::Audio, "/d/a.wav", ""},
         R"(recording,"state":"finished","media":"audio","file":"/d/a.wav")"},
        {RecordingFinished{Media::Audio, "/d/a.wav", "No space left on device"},
         R"(recording,"state":"finished","media":"audio","file":"/d/a.wav","problem":"No space left on device")"},
        {Snapshot{"/d/s.JPG"}, R"(snapshot,"file":"/d/s.JPG")"},
        {ScreenCapture{"/d/c.jpg"}, R"(screen-capture,"file":"/d/c.jpg")"},
        {Mark{"a knock", "window"}, R"(mark,"note":"a knock","by":"window")"},
    };
    for (const auto& [event, expected] : cases)
        EXPECT_EQ(line(event), expected);
}

} // namespace
} // namespace kestle::evidence
