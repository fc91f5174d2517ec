#pragma once
// The live picture of the video control on the main window: the newest
// frame scaled into the widget (keeping its proportions when asked) on the
// background colour, or a message such as "No camera found". Shown while
// the control is visible and has a picture or a message.
#include "capture/capture_controls.h"
#include "ui/theme.h"

#include <QWidget>

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

// Where the picture stands on the main form, in twips: the free room below
// the word list buttons.
inline constexpr int kPreviewLeft = 8760, kPreviewTop = 6180, kPreviewWidth = 3015,
                     kPreviewHeight = 2280;

} // namespace kestle::ui
