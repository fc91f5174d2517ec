// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/snapshot.h"

#include <algorithm>

namespace kestle::remote {

namespace {

// The last `n` non-empty lines of a display's text (CR LF or LF ended).
std::vector<std::string> lastLines(std::string_view text, std::size_t n) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.emplace_back(line);
        start = end + 1;
    }
    if (lines.size() > n)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(n));
    return lines;
}

// Length of the valid UTF-8 sequence at `p`, 0 when it is not one.
std::size_t utf8Length(std::string_view s, std::size_t p) {
    const auto c = static_cast<unsigned char>(s[p]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || (n > 1 && c < 0xC2) || p + n > s.size())
        return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(s[p + i]) & 0xC0) != 0x80)
            return 0;
    return n;
}

} // namespace

Snapshot readSnapshot(const forms::MainForm& f, bool plugged, std::int64_t ms) {
    Snapshot s;
    s.ms = ms;
    s.plugged = plugged;
    s.a = f.CHA_DSP->text();
    s.b = f.CHB_DSP->text();
    s.freqA = f.FREQA->text();
    s.freqB = f.FREQB->text();
    s.emf = f.EMFdisplay1->text();
    s.natural = f.emfdisp->text();
    s.temperature = f.tempdisp->text();
    s.threshold = f.tholddsp->text();
    s.trend = f.TRENDDSP->text();
    for (std::size_t i = 0; i < f.Shape1.size(); ++i)
        if (f.Shape1[i]->color() == forms::kRed)
            s.direction = static_cast<int>(i);
    s.words = lastLines(f.main_display->text(), kSnapshotWords);
    s.question = f.question->text();
    return s;
}

std::string alarmLines(std::string_view text) {
    std::string out;
    for (const std::string& line : lastLines(text, 3))
        out += (out.empty() ? "" : "\n") + line;
    return out;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t p = 0; p < text.size();) {
        const auto c = static_cast<unsigned char>(text[p]);
        const std::size_t n = utf8Length(text, p);
        if (n == 0) {
            out += "\\ufffd";
            ++p;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == '<') {
            out += "\\u003c"; // never a tag, wherever the page puts it
        } else {
            out.append(text.substr(p, n));
        }
        p += n;
    }
    return out + '"';
}

std::string toJson(const Snapshot& s) {
    std::string j = "{\"ms\":" + std::to_string(s.ms);
    j += ",\"plugged\":";
    j += s.plugged ? "true" : "false";
    auto field = [&j](const char* name, const std::string& v) {
        j += ",\"";
        j += name;
        j += "\":" + jsonString(v);
    };
    field("a", s.a);
    field("b", s.b);
    field("freqA", s.freqA);
    field("freqB", s.freqB);
    field("emf", s.emf);
    field("natural", s.natural);
    field("temperature", s.temperature);
    field("threshold", s.threshold);
    field("trend", s.trend);
    j += ",\"direction\":" + std::to_string(s.direction);
    j += ",\"words\":[";
    for (std::size_t i = 0; i < s.words.size(); ++i)
        j += (i ? "," : "") + jsonString(s.words[i]);
    j += "]";
    field("question", s.question);
    j += ",\"secondsLeft\":" + (s.secondsLeft ? std::to_string(*s.secondsLeft) : "null");
    field("alarm", s.alarm);
    return j + "}";
}

std::optional<std::string> markNote(std::string_view message) {
    constexpr std::string_view verb = "mark";
    if (message.substr(0, verb.size()) != verb)
        return std::nullopt;
    message.remove_prefix(verb.size());
    if (!message.empty() && message.front() != ' ')
        return std::nullopt;
    std::string note;
    for (std::size_t p = 0; p < message.size();) {
        const std::size_t n = utf8Length(message, p);
        if (n == 0) {
            ++p; // not text: left out
            continue;
        }
        const auto c = static_cast<unsigned char>(message[p]);
        if (n == 1 && (c < 0x20 || c == 0x7F)) {
            note += ' ';
        } else {
            if (note.size() + n > kMarkNoteBytes)
                break;
            note.append(message.substr(p, n));
        }
        p += n;
        if (note.size() >= kMarkNoteBytes)
            break;
    }
    const auto first = note.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const auto last = note.find_last_not_of(' ');
    return note.substr(first, last - first + 1);
}

} // namespace kestle::remote
