// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/event_view.h"

namespace kestle::review {

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string recordingCaption(const std::string& path, bool audio) {
    return baseName(path) + (audio ? " (audio)" : " (video)");
}

std::string markCaption(const std::string& note) {
    return note.empty() ? std::string("Mark") : "Mark: " + note;
}

namespace {

std::string withoutLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

Event make(EventKind kind, std::string text, std::string detail = {}) {
    Event e;
    e.kind = kind;
    e.text = std::move(text);
    e.detail = std::move(detail);
    return e;
}

struct View {
    std::optional<Event> operator()(const events::Question& q) const {
        return make(EventKind::Question, withoutLineEnd(q.text));
    }
    std::optional<Event> operator()(const events::Alarm& a) const {
        return make(EventKind::Alarm, withoutLineEnd(a.text));
    }
    std::optional<Event> operator()(const events::RecordingStarted& r) const {
        const bool audio = r.media == events::Media::Audio;
        return make(EventKind::Recording, recordingCaption(r.file, audio), r.file);
    }
    std::optional<Event> operator()(const events::Snapshot& s) const {
        return make(EventKind::Snapshot, baseName(s.file), s.file);
    }
    std::optional<Event> operator()(const events::ScreenCapture& s) const {
        return make(EventKind::Screen, "Screen captured: " + s.file, s.file);
    }
    std::optional<Event> operator()(const events::Plug&) const {
        return make(EventKind::Plug, "Kestle plugged in");
    }
    std::optional<Event> operator()(const events::Unplug&) const {
        return make(EventKind::Unplug, "Kestle unplugged");
    }
    std::optional<Event> operator()(const events::Mark& m) const {
        return make(EventKind::Mark, markCaption(m.note), m.by);
    }
    template <typename Other> std::optional<Event> operator()(const Other&) const {
        return std::nullopt;
    }
};

} // namespace

std::optional<Event> reviewEvent(const events::Event& e) {
    return std::visit(View{}, e);
}

} // namespace kestle::review
