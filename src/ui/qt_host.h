// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// UiHost for the window: dialogs open without a nested event loop and
// answer through their callbacks.
#include "forms/ui_host.h"

#include <QObject>

class QStatusBar;
class QWidget;

namespace kestle::ui {

class QtHost : public QObject, public forms::UiHost {
  public:
    explicit QtHost(QWidget* parentWindow = nullptr) : parent_(parentWindow) {}
    void setParentWindow(QWidget* w) { parent_ = w; }
    void setStatusBar(QStatusBar* s) { statusBar_ = s; }
    // Where file dialogs open (the data folder, where the captures go).
    void setDialogFolder(const std::filesystem::path& folder) { dialogFolder_ = folder; }

    void messageBox(const std::string& title, const std::string& text,
                    std::function<void()> done) override;
    void inputBox(const std::string& title, const std::string& prompt, const std::string& proposed,
                  std::function<void(std::optional<std::string>)> done) override;
    void fileDialog(const std::string& title, const std::string& filter,
                    std::function<void(std::optional<std::string>)> done) override;
    void colorDialog(const std::string& title, std::uint32_t initial,
                     std::function<void(std::optional<std::uint32_t>)> done) override;
    void status(const std::string& text) override;
    // A window shows nothing for the speech and capture call lines.
    void event(const std::string&) override {}
    bool openWithDefaultProgram(const std::filesystem::path& p) override;
    bool startProgram(const std::filesystem::path& program) override;

  private:
    QWidget* parent_;
    QStatusBar* statusBar_ = nullptr;
    std::filesystem::path dialogFolder_;
};

} // namespace kestle::ui
