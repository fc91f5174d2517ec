// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/journal_events.h"

#include "support/quote.h"

namespace kestle::evidence {

namespace {

const char* mediaName(events::Media m) {
    return m == events::Media::Audio ? "audio" : "video";
}

const char* modeName(int mode) {
    static const char* modes[] = {"volts", "frequency", "field"};
    return modes[mode >= 0 && mode < 3 ? mode : 0];
}

struct Entry {
    std::optional<JournalEntry> operator()(const events::Question& q) const {
        return JournalEntry{"question", JsonFields().add("text", q.text)};
    }
    std::optional<JournalEntry> operator()(const events::Word& w) const {
        return JournalEntry{"word", JsonFields()
                                        .add("word", w.word)
                                        .add("mode", modeName(w.mode))
                                        .add("level", std::int64_t{w.level})};
    }
    std::optional<JournalEntry> operator()(const events::Alarm& a) const {
        return JournalEntry{"alarm", JsonFields().add("text", a.text)};
    }
    std::optional<JournalEntry> operator()(const events::CaptureCall& c) const {
        return JournalEntry{"capture", JsonFields().add("call", c.call)};
    }
    std::optional<JournalEntry> operator()(const events::RecordingStarted& r) const {
        return JournalEntry{"recording", JsonFields()
                                             .add("state", "started")
                                             .add("media", mediaName(r.media))
                                             .add("file", r.file)};
    }
    std::optional<JournalEntry> operator()(const events::RecordingFinished& r) const {
        JsonFields f;
        f.add("state", "finished").add("media", mediaName(r.media)).add("file", r.file);
        if (!r.problem.empty())
            f.add("problem", r.problem);
        return JournalEntry{"recording", f};
    }
    std::optional<JournalEntry> operator()(const events::Snapshot& s) const {
        return JournalEntry{"snapshot", JsonFields().add("file", s.file)};
    }
    std::optional<JournalEntry> operator()(const events::ScreenCapture& s) const {
        return JournalEntry{"screen-capture", JsonFields().add("file", s.file)};
    }
    std::optional<JournalEntry> operator()(const events::Speech& s) const {
        return JournalEntry{
            "speech", JsonFields().add("line", std::to_string(s.voice) + " " + quoteText(s.text))};
    }
    std::optional<JournalEntry> operator()(const events::Quiet&) const { return std::nullopt; }
    std::optional<JournalEntry> operator()(const events::Plug&) const {
        return JournalEntry{"plug", {}};
    }
    std::optional<JournalEntry> operator()(const events::Unplug&) const {
        return JournalEntry{"unplug", {}};
    }
    std::optional<JournalEntry> operator()(const events::Message& m) const {
        return JournalEntry{"message", JsonFields().add("title", m.title).add("text", m.text)};
    }
    std::optional<JournalEntry> operator()(const events::Status& s) const {
        return JournalEntry{"status", JsonFields().add("text", s.text)};
    }
    std::optional<JournalEntry> operator()(const events::Dialog& d) const {
        JsonFields f;
        f.add("kind", d.kind).add("title", d.title);
        if (d.answer)
            f.add("answer", *d.answer);
        else
            f.add("cancelled", std::int64_t{1});
        if (d.byOperator)
            f.add("operator", std::int64_t{1});
        return JournalEntry{"dialog", f};
    }
    std::optional<JournalEntry> operator()(const events::Action& a) const {
        return JournalEntry{"action", JsonFields().add("command", a.command)};
    }
    std::optional<JournalEntry> operator()(const events::Mark& m) const {
        return JournalEntry{"mark", JsonFields().add("note", m.note).add("by", m.by)};
    }
};

} // namespace

std::optional<JournalEntry> journalEntry(const events::Event& e) {
    return std::visit(Entry{}, e);
}

} // namespace kestle::evidence
