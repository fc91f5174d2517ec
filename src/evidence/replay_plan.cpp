// SPDX-License-Identifier: GPL-3.0-or-later
#include "evidence/replay_plan.h"

#include "support/quote.h"
#include "support/textfile.h"

#include <cstdlib>

namespace kestle::evidence {

namespace {

// Decodes the JSON string starting after its opening quote at `i`.
std::optional<std::string> decodeString(std::string_view s, std::size_t i) {
    std::string r;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"')
            return r;
        if (c != '\\') {
            r += c;
            continue;
        }
        if (++i >= s.size())
            return std::nullopt;
        switch (s[i]) {
        case 'n':
            r += '\n';
            break;
        case 'r':
            r += '\r';
            break;
        case 't':
            r += '\t';
            break;
        case 'u': {
            if (i + 4 >= s.size())
                return std::nullopt;
            const long code = std::strtol(std::string(s.substr(i + 1, 4)).c_str(), nullptr, 16);
            if (code >= 0x80) // the journal escapes only control characters
                return std::nullopt;
            r += static_cast<char>(code);
            i += 4;
            break;
        }
        default:
            r += s[i];
        }
    }
    return std::nullopt;
}

// Where the value of `key` starts in a flat object of strings and numbers
// as the journal writes it, walked key by key (each string skipped with
// memchr): npos when it has no such key, nullopt when the line is not of
// that form.
std::optional<std::size_t> flatValueAt(std::string_view line, std::string_view key) {
    constexpr std::size_t npos = std::string_view::npos;
    if (line.empty() || line[0] != '{')
        return std::nullopt;
    std::size_t i = 1;
    while (i < line.size() && line[i] == '"') {
        const std::size_t keyEnd = line.find('"', i + 1);
        if (keyEnd == npos || keyEnd + 1 >= line.size() || line[keyEnd + 1] != ':')
            return std::nullopt;
        const std::string_view k = line.substr(i + 1, keyEnd - i - 1);
        if (k.find('\\') != npos)
            return std::nullopt;
        const std::size_t value = keyEnd + 2;
        if (k == key)
            return value;
        std::size_t after = npos;
        if (value < line.size() && line[value] == '"') {
            for (std::size_t from = value + 1; after == npos;) {
                const std::size_t q = line.find('"', from);
                if (q == npos)
                    return std::nullopt;
                std::size_t slashes = 0;
                while (q - slashes > value + 1 && line[q - slashes - 1] == '\\')
                    ++slashes;
                if (slashes % 2 == 0)
                    after = q + 1;
                else
                    from = q + 1;
            }
        } else {
            after = line.find_first_of(",}", value);
            if (after == npos || after == value || line[value] == '{' || line[value] == '[')
                return std::nullopt;
        }
        if (after >= line.size())
            return std::nullopt;
        if (line[after] == '}')
            return npos;
        if (line[after] != ',')
            return std::nullopt;
        i = after + 1;
    }
    return std::nullopt;
}

std::optional<std::string> valueAt(std::string_view line, std::size_t at) {
    if (at < line.size() && line[at] == '"')
        return decodeString(line, at + 1);
    std::size_t end = line.find_first_of(",}", at);
    return std::string(line.substr(at, end == std::string_view::npos ? end : end - at));
}

} // namespace

std::optional<std::string> journalField(std::string_view line, std::string_view key) {
    // The journal's own lines, quickly; anything else by the scan below.
    if (const auto at = flatValueAt(line, key)) {
        if (*at == std::string_view::npos)
            return std::nullopt;
        return valueAt(line, *at);
    }
    std::string quoted = "\"";
    quoted += key;
    quoted += "\":";
    // Keys come before their values and no value holds an unescaped quote,
    // so the first match outside a string is the key.
    std::size_t at = 0;
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && inString) {
            ++i;
            continue;
        }
        if (line[i] != '"')
            continue;
        if (!inString && line.compare(i, quoted.size(), quoted) == 0) {
            at = i + quoted.size();
            break;
        }
        inString = !inString;
    }
    if (at == 0)
        return std::nullopt;
    return valueAt(line, at);
}

Status ReplayPlanner::line(std::string_view line) {
    ++n_;
    if (line.empty())
        return {};
    const auto event = journalField(line, "event");
    const auto t = journalField(line, "t");
    if (!event || !t)
        return Error{"journal line " + std::to_string(n_) + " has no event or time"};
    const long long at = std::strtoll(t->c_str(), nullptr, 10);
    if (*event == "start") {
        const auto time = journalField(line, "time");
        if (!time || !parseIsoDateTime(*time, plan_.start))
            return Error{"journal line " + std::to_string(n_) + " has no start time"};
        started_ = true;
    } else if (*event == "action") {
        const auto command = journalField(line, "command");
        if (!command)
            return Error{"journal line " + std::to_string(n_) + " has no command"};
        if (at > last_)
            plan_.script.push_back("wait " + std::to_string(at - last_));
        last_ = std::max(last_, at);
        // Where a dialog answered in the window goes: before the last
        // action, which may have opened it, so that the answer waits for it.
        answerAt_ = plan_.script.size();
        plan_.script.push_back(*command);
        quitLast_ = *command == "quit";
    } else if (*event == "dialog" && journalField(line, "operator")) {
        const auto answer = journalField(line, "answer");
        const std::string given = answer ? "answer " + escapeScriptText(*answer) : "answer-cancel";
        plan_.script.insert(plan_.script.begin() + static_cast<std::ptrdiff_t>(answerAt_++), given);
    } else if (*event == "end") {
        end_ = at;
    }
    return {};
}

Result<ReplayPlan> ReplayPlanner::finish() {
    if (!started_)
        return Error{"the journal has no start line"};
    // The end of the script ends the session as it ended then.
    if (!quitLast_ && end_ > last_)
        plan_.script.push_back("wait " + std::to_string(end_ - last_));
    return std::move(plan_);
}

Result<ReplayPlan> planReplay(std::string_view journal) {
    ReplayPlanner planner;
    for (const std::string& line : splitLines(journal))
        if (Status s = planner.line(line); !s)
            return Error{s.error()};
    return planner.finish();
}

} // namespace kestle::evidence
