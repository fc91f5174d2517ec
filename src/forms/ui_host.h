// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the logic asks of the user interface. The window implementation shows
// dialogs; the headless one answers them from the script and prints one line
// per event. Dialogs never block: the answer arrives through the callback
// (at once in headless mode, when the operator closes the dialog in a window).
// Window thread only.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kestle::forms {

inline constexpr const char* kAppTitle = "The Kestle";

class UiHost {
  public:
    virtual ~UiHost() = default;

    // A message box with an OK button only.
    virtual void messageBox(const std::string& title, const std::string& text,
                            std::function<void()> done = {}) = 0;
    // An input box; the answer is nullopt when it was cancelled.
    virtual void inputBox(const std::string& title, const std::string& prompt,
                          const std::string& proposed,
                          std::function<void(std::optional<std::string>)> done) = 0;
    // A file dialog in its save form; `filter` is "Name (*.ext)|*.ext|..."
    // pairs. The answer is the chosen path, nullopt when cancelled.
    virtual void fileDialog(const std::string& title, const std::string& filter,
                            std::function<void(std::optional<std::string>)> done) = 0;
    // A colour dialog starting at `initial` (0xRRGGBB); nullopt when cancelled.
    virtual void colorDialog(const std::string& title, std::uint32_t initial,
                             std::function<void(std::optional<std::uint32_t>)> done) = 0;
    // One line in the window's status line (headless: STATUS "text").
    virtual void status(const std::string& text) = 0;
    // Calls on speech and capture controls (headless: one line each, e.g.
    // SPEAK 1 "word"); a window shows nothing for them.
    virtual void event(const std::string& line) = 0;
    // Opens a file or folder with the system's default program; false when
    // no program could be started.
    virtual bool openWithDefaultProgram(const std::filesystem::path& p) = 0;
    // Starts a program; false when it could not be started.
    virtual bool startProgram(const std::filesystem::path& program) = 0;
    // Gives the keyboard focus to a control of the main window.
    virtual void focus(const std::string& /*controlName*/) {}
};

} // namespace kestle::forms
