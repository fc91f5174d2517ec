// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headless_host.h"

#include "support/quote.h"

namespace kestle::app {

void HeadlessHost::line(const std::string& l) {
    out_ << l << '\n' << std::flush;
}

void HeadlessHost::messageBox(const std::string& title, const std::string& text,
                              std::function<void()> done) {
    line("MSGBOX " + quoteText(title) + " " + quoteText(text));
    if (done)
        done();
}

std::optional<std::string> HeadlessHost::nextAnswer() {
    std::optional<std::string> a;
    if (!answers_.empty()) {
        a = std::move(answers_.front());
        answers_.pop_front();
    }
    return a;
}

void HeadlessHost::inputBox(const std::string& title, const std::string& prompt,
                            const std::string& /*proposed*/,
                            std::function<void(std::optional<std::string>)> done) {
    std::optional<std::string> a = nextAnswer();
    line("INPUTBOX " + quoteText(title) + " " + quoteText(prompt) + " -> " +
         (a ? quoteText(*a) : std::string("cancel")));
    if (done)
        done(std::move(a));
}

void HeadlessHost::fileDialog(const std::string& title, const std::string& filter,
                              std::function<void(std::optional<std::string>)> done) {
    std::optional<std::string> a = nextAnswer();
    line("FILEDIALOG " + quoteText(title) + " " + quoteText(filter) + " -> " +
         (a ? quoteText(*a) : std::string("cancel")));
    if (done)
        done(std::move(a));
}

void HeadlessHost::colorDialog(const std::string& title, std::uint32_t /*initial*/,
                               std::function<void(std::optional<std::uint32_t>)> done) {
    std::optional<std::uint32_t> c;
    if (std::optional<std::string> a = nextAnswer())
        c = parseRgbHex(*a);
    line("COLORDIALOG " + quoteText(title) + " -> " + (c ? rgbHex(*c) : std::string("cancel")));
    if (done)
        done(c);
}

void HeadlessHost::status(const std::string& text) {
    if (!text.empty()) // clearing the status line is not an event
        line("STATUS " + quoteText(text));
}

void HeadlessHost::event(const std::string& l) {
    line(l);
}

bool HeadlessHost::openWithDefaultProgram(const std::filesystem::path& p) {
    line("OPEN " + quoteText(p.string()));
    return true;
}

bool HeadlessHost::startProgram(const std::filesystem::path& program) {
    line("START " + quoteText(program.string()));
    return true;
}

} // namespace kestle::app
