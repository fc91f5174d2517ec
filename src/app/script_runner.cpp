// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/script_runner.h"

#include "app/headless_host.h"
#include "support/convert.h"
#include "support/quote.h"
#include "support/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kestle::app {

namespace {

constexpr double kLongestWaitMs = 1e15; // about 31,700 years

std::string numberText(double v) {
    return plainDecimal(v);
}

// Splits "verb rest" at the first blank.
std::pair<std::string, std::string> splitFirst(const std::string& s) {
    auto p = s.find(' ');
    if (p == std::string::npos)
        return {s, {}};
    return {s.substr(0, p), s.substr(p + 1)};
}

// UTF-8 code points of a text, one string each, so typing goes character by character.
std::vector<std::string> codePoints(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 1;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace

ScriptRunner::ScriptRunner(MainWindow& win, std::ostream& out, HeadlessHost* answers)
    : win_(win), out_(out), answers_(answers) {}

void ScriptRunner::addCommand(std::string name, std::function<std::string(const std::string&)> fn) {
    extra_[std::move(name)] = std::move(fn);
}

void ScriptRunner::error(std::size_t lineNo, const std::string& reason) {
    errors_ = true;
    out_ << "ERROR line " << lineNo << ": " << reason << '\n' << std::flush;
}

forms::Control* ScriptRunner::findControl(const std::string& name) const {
    auto dot = name.find('.');
    if (dot != std::string::npos) {
        forms::Form* f = win_.formByName(name.substr(0, dot));
        return f ? f->find(name.substr(dot + 1)) : nullptr;
    }
    return win_.main().find(name);
}

std::string ScriptRunner::dumpLine(const std::string& name) const {
    if (forms::Control* c = findControl(name)) {
        std::string l = name + ":";
        if (c->hasText())
            l += " text=" + quoteText(c->text());
        if (c->hasChecked())
            l += std::string(" checked=") + (c->checked() ? "1" : "0");
        if (c->hasValue())
            l += " value=" + std::to_string(c->value());
        if (c->isList())
            l += " count=" + std::to_string(c->count()) +
                 " selected=" + std::to_string(c->selected());
        if (c->hasColor())
            l += " color=" + rgbHex(c->color() & 0xFFFFFF);
        l += std::string(" enabled=") + (c->enabled() ? "1" : "0");
        l += std::string(" visible=") + (c->visible() ? "1" : "0");
        if (c->kind() == forms::Kind::Timer)
            l += " interval=" + std::to_string(static_cast<forms::Timer*>(c)->interval());
        return l;
    }
    // An entry of a list box: List1(I).
    auto open = name.find('(');
    if (open != std::string::npos && name.back() == ')') {
        forms::Control* list = findControl(name.substr(0, open));
        if (list && list->isList()) {
            std::string idx = name.substr(open + 1, name.size() - open - 2);
            int i = -1;
            auto [p, ec] = std::from_chars(idx.data(), idx.data() + idx.size(), i);
            if (ec == std::errc() && p == idx.data() + idx.size() && i >= 0 && i < list->count())
                return name + ": text=" + quoteText(list->items()[static_cast<std::size_t>(i)]);
            return {};
        }
    }
    if (auto v = win_.variables().get(name)) {
        if (auto* d = std::get_if<double>(&*v))
            return name + ": " + numberText(*d);
        return name + ": " + quoteText(std::get<std::string>(*v));
    }
    if (forms::Form* f = win_.formByName(name))
        return name + ": text=" + quoteText(f->caption()) + " visible=" + (f->shown() ? "1" : "0");
    return {};
}

namespace {

// A line as it runs: without its line end and leading blanks. Its trailing
// blanks stay: they may be typed text.
std::string commandText(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : line.substr(first);
}

std::string verbOf(const std::string& command) {
    return command.substr(0, command.find(' '));
}

} // namespace

void ScriptRunner::start() {
    runFrom(0);
}

void ScriptRunner::runFrom(std::size_t i) {
    for (; i < lines_.size(); ++i) {
        if (win_.ended())
            break;
        // What the last line started elsewhere (a file being read) has come
        // back before the next line runs, as an operator would see it.
        if (win_.scheduler().resultsOutstanding() > 0) {
            win_.scheduler().whenResultsIn([this, i] { runFrom(i); });
            return;
        }
        const std::string command = commandText(lines_[i]);
        if (onCommand && isOperatorAction(command))
            onCommand(command);
        long long delay = execute(i + 1, command);
        if (delay >= 0) {
            std::size_t next = i + 1;
            win_.scheduler().callAfter(delay, [this, next] { runFrom(next); });
            return;
        }
    }
    if (onFinished)
        onFinished();
}

bool ScriptRunner::isOperatorAction(const std::string& command) const {
    const std::string verb = verbOf(command);
    // In a window the operator answers the dialogs: answer lines do nothing.
    const bool answers = verb == "answer" || verb == "answer-cancel";
    return !command.empty() && command[0] != '#' && verb != "wait" && verb != "dump" &&
           (answers_ || !answers);
}

long long ScriptRunner::execute(std::size_t lineNo, const std::string& line) {
    if (line.empty() || line[0] == '#')
        return -1;
    auto [verb, rest] = splitFirst(line);

    if (verb == "click" || verb == "dblclick") {
        forms::Control* c = findControl(rest);
        if (!c) {
            error(lineNo, "no control named '" + rest + "'");
        } else if (!c->reachable()) {
            out_ << "REFUSED " << rest << '\n' << std::flush;
        } else if (verb == "click") {
            c->click();
        } else {
            c->dblClick();
        }
    } else if (verb == "type") {
        auto [name, text] = splitFirst(rest);
        forms::Control* c = findControl(name);
        if (!c || c->kind() != forms::Kind::TextBox) {
            error(lineNo, "no text box named '" + name + "'");
        } else if (!c->reachable()) {
            out_ << "REFUSED " << name << '\n' << std::flush;
        } else {
            for (const std::string& ch : codePoints(unescapeScriptText(text)))
                c->appendText(ch);
        }
    } else if (verb == "erase") {
        forms::Control* c = findControl(rest);
        if (!c || c->kind() != forms::Kind::TextBox) {
            error(lineNo, "no text box named '" + rest + "'");
        } else if (!c->reachable()) {
            out_ << "REFUSED " << rest << '\n' << std::flush;
        } else if (!c->text().empty()) {
            c->setText(withoutLastCharacter(c->text()));
        }
    } else if (verb == "set") {
        auto [name, value] = splitFirst(rest);
        forms::Control* c = findControl(name);
        auto n = parseNumber(value);
        if (!c || (!c->hasValue() && !c->isList()) || c->kind() == forms::Kind::CheckBox) {
            error(lineNo, "no slider, list or tab strip named '" + name + "'");
        } else if (!n) {
            error(lineNo, "'" + value + "' is not a number");
        } else if (!c->reachable()) {
            out_ << "REFUSED " << name << '\n' << std::flush;
        } else if (c->isList()) {
            // An operator's choice of an entry: its click handling runs.
            if (*n != std::floor(*n) || std::fabs(*n) > 1e9 || !c->choose(static_cast<int>(*n)))
                error(lineNo, "'" + name + "' has no entry " + value);
        } else {
            c->setValue(roundToInt32(*n));
        }
    } else if (verb == "answer") {
        if (answers_)
            answers_->queueAnswer(unescapeScriptText(rest));
    } else if (verb == "answer-cancel") {
        if (answers_)
            answers_->queueAnswer(std::nullopt);
    } else if (verb == "wait") {
        auto n = parseNumber(rest);
        if (!n || !(*n >= 0)) {
            error(lineNo, "wait needs a number of milliseconds");
        } else {
            // Longer than any night: as good as for ever, and no overflow.
            return static_cast<long long>(std::min(*n, kLongestWaitMs));
        }
    } else if (verb == "dump") {
        std::string l = dumpLine(rest);
        if (l.empty())
            error(lineNo, "nothing named '" + rest + "' to dump");
        else
            out_ << l << '\n' << std::flush;
    } else if (verb == "mark") {
        win_.mark(unescapeScriptText(rest), "script");
    } else if (verb == "quit") {
        win_.quit();
    } else if (auto it = extra_.find(verb); it != extra_.end()) {
        if (std::string err = it->second(rest); !err.empty())
            error(lineNo, err);
    } else {
        error(lineNo, "unknown command '" + verb + "'");
    }
    return -1;
}

} // namespace kestle::app
