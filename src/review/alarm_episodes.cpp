// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/alarm_episodes.h"

#include "support/textfile.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace kestle::review {

namespace {

// The alarm window's message words, as the alarm checks write them.
constexpr std::string_view kAlarms[] = {
    "Voltage Above",    "Voltage Below",    "Frequency Above",   "Frequency Below",
    "Threshhold Above", "Threshhold Below", "EMF Above",         "EMF Below",
    "EMF (N) Above",    "EMF(N) Below",     "Temperature Above", "Temperature Below"};
constexpr std::string_view kValue = " Value = ";

std::string trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \r\n");
    if (b == std::string_view::npos)
        return {};
    return std::string(s.substr(b, s.find_last_not_of(" \r\n") - b + 1));
}

} // namespace

std::optional<AlarmLine> parseAlarmLine(std::string_view line) {
    const std::size_t value = line.rfind(kValue);
    if (value == std::string_view::npos)
        return std::nullopt;
    for (std::string_view alarm : kAlarms) {
        // " <alarm> <limit> Value = <reading><unit>", after the time stamp.
        const std::string head = " " + std::string(alarm) + " ";
        const std::size_t at = line.find(head);
        if (at == std::string_view::npos || at + head.size() > value + 1)
            continue;
        AlarmLine l;
        l.alarm = std::string(alarm);
        l.above = alarm.ends_with("Above");
        const std::size_t limitAt = std::min(at + head.size(), value);
        l.limit = trimmed(line.substr(limitAt, value - limitAt));
        l.reading = trimmed(line.substr(value + kValue.size()));
        char* end = nullptr;
        l.value = std::strtod(l.reading.c_str(), &end);
        if (end == l.reading.c_str())
            return std::nullopt;
        return l;
    }
    return std::nullopt;
}

std::vector<AlarmEpisode> alarmEpisodes(const std::vector<Event>& events, std::int64_t maxGapMs) {
    std::vector<AlarmEpisode> out;
    std::map<std::string, std::size_t> open; // alarm and limit -> its episode in `out`
    for (const Event& e : events) {
        if (e.kind != EventKind::Alarm)
            continue;
        for (const std::string& text : splitLines(e.text)) {
            if (trimmed(text).empty())
                continue;
            AlarmLine l = parseAlarmLine(text).value_or(AlarmLine{trimmed(text), {}, 0, {}, true});
            const std::string key = l.alarm + "\n" + l.limit;
            auto it = open.find(key);
            if (it == open.end() || e.ms - out[it->second].endMs > maxGapMs) {
                AlarmEpisode ep;
                ep.alarm = l.alarm;
                ep.limit = l.limit;
                ep.startMs = e.ms;
                ep.peak = l.value;
                ep.peakReading = l.reading;
                out.push_back(std::move(ep));
                it = open.insert_or_assign(key, out.size() - 1).first;
            }
            AlarmEpisode& ep = out[it->second];
            ep.endMs = e.ms;
            if (l.above ? l.value > ep.peak : l.value < ep.peak) {
                ep.peak = l.value;
                ep.peakReading = l.reading;
            }
            ep.trips.push_back({e.ms, std::move(l)});
        }
    }
    return out;
}

std::string episodeSummary(const AlarmEpisode& e) {
    std::string s = e.alarm + (e.limit.empty() ? "" : " " + e.limit) + ": ";
    s += e.trips.size() == 1 ? std::string("1 trip") : std::to_string(e.trips.size()) + " trips";
    if (!e.peakReading.empty())
        s += ", peak " + e.peakReading;
    return s;
}

std::vector<Event> withAlarmEpisodes(const std::vector<Event>& events,
                                     const std::vector<AlarmEpisode>& episodes) {
    std::vector<Event> out;
    out.reserve(events.size());
    for (const Event& e : events)
        if (e.kind != EventKind::Alarm)
            out.push_back(e);
    for (const AlarmEpisode& ep : episodes) {
        Event e;
        e.ms = ep.startMs;
        e.kind = EventKind::Alarm;
        e.name = "alarm";
        e.text = episodeSummary(ep);
        e.durationMs = ep.endMs - ep.startMs;
        e.heardFromMs = e.ms;
        out.push_back(std::move(e));
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Event& a, const Event& b) { return a.ms < b.ms; });
    return out;
}

} // namespace kestle::review
