// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live picture of the video control on the main window: the newest
// frame scaled into the widget (keeping its proportions when asked) on the
// background colour, or a message such as "No camera found". Shown while
// the control is visible and has a picture or a message.
#include "capture/capture_controls.h"
#include "ui/theme.h"

#include <QWidget>
#include <vector>

namespace kestle::ui {

class VideoPreview : public QWidget, public capture::PreviewTarget {
  public:
    explicit VideoPreview(QWidget* parent = nullptr);
    void setLook(const capture::PreviewLook& look) override;
    void showFrame(std::shared_ptr<const capture::VideoFrame> frame) override;

    // The night view shows the picture's luminance in red.
    void setTheme(const Theme& t);

    // The frames shown so far (for measurements).
    long long framesShown() const { return shown_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;

  private:
    void updateShown();

    capture::PreviewLook look_;
    std::shared_ptr<const capture::VideoFrame> frame_;
    long long shown_ = 0;
    Theme theme_ = Theme::current();
};

// The live picture shown in several places (the main window, the set-up
// form): what the control sends goes to each of them. Not owned.
class PreviewFanOut : public capture::PreviewTarget {
  public:
    void add(capture::PreviewTarget* t) { targets_.push_back(t); }
    void remove(capture::PreviewTarget* t) { std::erase(targets_, t); }
    void setLook(const capture::PreviewLook& look) override {
        for (auto* t : targets_)
            t->setLook(look);
    }
    void showFrame(std::shared_ptr<const capture::VideoFrame> frame) override {
        for (auto* t : targets_)
            t->showFrame(frame);
    }

  private:
    std::vector<capture::PreviewTarget*> targets_;
};

// Where the picture stands on the main form, in twips: the free room below
// the word list buttons.
inline constexpr int kPreviewLeft = 8760, kPreviewTop = 6180, kPreviewWidth = 3015,
                     kPreviewHeight = 2280;

} // namespace kestle::ui
