// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Screen captures drawn with Qt: a 573 x 381 pixel background of our own
// (dark gradient, frame, faint "Vantic Kestle - Verified Output" watermark),
// the screen text printed from pixel 10, 10, stored as a real JPEG.
//
// Needs a QGuiApplication (fonts); without one render() fails with a
// reason instead of crashing. Works on the "offscreen" platform, so
// headless runs need no display. Window thread only.
#include "records/records.h"

#include <QImage>

namespace kestle::records {

class QtScreenRenderer : public ScreenRenderer {
  public:
    static constexpr int kWidth = 573;
    static constexpr int kHeight = 381;
    // Where the text starts, in pixels of the picture.
    static constexpr int kTextLeft = 10;
    static constexpr int kTextTop = 10;

    Status render(const std::string& utf8Text, const std::filesystem::path& jpegPath) override;

    // The picture of a capture, before it is encoded.
    QImage picture(const std::string& utf8Text);

  private:
    const QImage& background();
    QImage background_;
};

} // namespace kestle::records
