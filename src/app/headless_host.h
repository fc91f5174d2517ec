// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UiHost for --headless: every dialog and event is one line on the output;
// input boxes take the answers the script queued with `answer` and
// `answer-cancel`. Nothing waits for a person.
#include "forms/ui_host.h"

#include <deque>
#include <ostream>

namespace kestle::app {

using forms::kAppTitle;
using forms::UiHost;

class HeadlessHost : public UiHost {
  public:
    explicit HeadlessHost(std::ostream& out) : out_(out) {}

    void messageBox(const std::string& title, const std::string& text,
                    std::function<void()> done) override;
    void inputBox(const std::string& title, const std::string& prompt, const std::string& proposed,
                  std::function<void(std::optional<std::string>)> done) override;
    void fileDialog(const std::string& title, const std::string& filter,
                    std::function<void(std::optional<std::string>)> done) override;
    void colorDialog(const std::string& title, std::uint32_t initial,
                     std::function<void(std::optional<std::uint32_t>)> done) override;
    void status(const std::string& text) override;
    void event(const std::string& line) override;
    bool openWithDefaultProgram(const std::filesystem::path& p) override;
    bool startProgram(const std::filesystem::path& program) override;

    // Answers for the next input boxes and file and colour dialogs, in
    // order; nullopt cancels. A dialog with no queued answer is cancelled,
    // and so is a colour dialog whose answer is not six hex digits.
    void queueAnswer(std::optional<std::string> a) { answers_.push_back(std::move(a)); }
    void line(const std::string& l);

  private:
    std::optional<std::string> nextAnswer();

    std::ostream& out_;
    std::deque<std::optional<std::string>> answers_;
};

} // namespace kestle::app
