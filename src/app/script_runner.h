// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs an operator script: one action per line, executed on the window
// thread; `wait` suspends the script while timers and device answers run.
// Output lines (dumps, REFUSED, ERROR) go to `out`.
#include "app/main_window.h"

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace kestle::app {

class HeadlessHost;

class ScriptRunner {
  public:
    // `answers` receives `answer` lines (headless); may be null in a window.
    ScriptRunner(MainWindow& win, std::ostream& out, HeadlessHost* answers);

    // Further commands (plug, unplug, ...): the handler gets the rest of the
    // line and returns an error text, empty on success.
    void addCommand(std::string name, std::function<std::string(const std::string&)> fn);

    void load(std::vector<std::string> lines) { lines_ = std::move(lines); }
    // Runs lines until a wait or the end; at the end runs `onFinished`. A
    // line waits for the results of work the previous lines sent elsewhere.
    void start();
    bool hadErrors() const { return errors_; }
    std::function<void()> onFinished;
    // Told of each line that acts as an operator would (not waits, dumps,
    // comments, nor answers in a window, where they do nothing), just before
    // it runs.
    std::function<void(const std::string& line)> onCommand;

    // One dump line for a control or variable; empty when the name is unknown.
    std::string dumpLine(const std::string& name) const;

  private:
    void runFrom(std::size_t i);
    // Returns the delay of a wait (>= 0), or -1 to go on at once.
    long long execute(std::size_t lineNo, const std::string& line);
    bool isOperatorAction(const std::string& command) const;
    forms::Control* findControl(const std::string& name) const;
    void error(std::size_t lineNo, const std::string& reason);

    MainWindow& win_;
    std::ostream& out_;
    HeadlessHost* answers_;
    std::vector<std::string> lines_;
    std::map<std::string, std::function<std::string(const std::string&)>> extra_;
    bool errors_ = false;
};

} // namespace kestle::app
