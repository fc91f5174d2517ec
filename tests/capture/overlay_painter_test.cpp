// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay layers as Qt paints them: colours, styles, transparency.
#include "capture/overlay_painter.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace kestle::capture {
namespace {

int count(const OverlayBitmap& b, std::uint32_t argb) {
    return static_cast<int>(std::count(b.pixels.begin(), b.pixels.end(), argb));
}

class Painter : public ::testing::Test {
  protected:
    std::unique_ptr<OverlayPainter> painter = makeOverlayPainter();
    std::string problem;
    TextOverlay text() {
        TextOverlay t;
        t.placed = true;
        t.text = "Kestle\n\r";
        t.fontSize = 28;
        t.fontStyle = 1;
        t.left = 10;
        t.top = 30;
        t.color = 0x12EE77;
        return t;
    }
};

TEST_F(Painter, TextStylesPaintWithTheirOwnColours) {
    ASSERT_TRUE(painter);
    const OverlayBitmap normal = painter->paintText(text(), problem);
    EXPECT_GT(count(normal, 0xFF12EE77), 50);
    EXPECT_EQ(normal.top, 28); // two pixels of room for an outline
    TextOverlay one = text();
    one.text = "Kestle";
    // The empty second line is kept: the layer is two lines high.
    EXPECT_GT(normal.height, painter->paintText(one, problem).height * 3 / 2);

    TextOverlay outline = text();
    outline.style = TextStyle::Outline;
    outline.outlineBorder = 0xFF0000;
    const OverlayBitmap o = painter->paintText(outline, problem);
    EXPECT_EQ(count(o, 0xFF12EE77), 0);
    EXPECT_GT(count(o, 0xFFFF0000), 20);

    TextOverlay hatch = text();
    hatch.style = TextStyle::Hatch;
    hatch.hatchStyle = 49; // small checker board
    hatch.hatchFore = 0x0000FF;
    hatch.hatchBack = 0xFFFF00;
    const OverlayBitmap h = painter->paintText(hatch, problem);
    EXPECT_GT(count(h, 0xFF0000FF), 20);
    EXPECT_GT(count(h, 0xFFFFFF00), 20);
    EXPECT_TRUE(problem.empty());

    TextOverlay texture = text();
    texture.style = TextStyle::Texture;
    texture.textureImage = "/no/such/texture.bmp";
    const OverlayBitmap t = painter->paintText(texture, problem);
    EXPECT_EQ(problem, "The texture image /no/such/texture.bmp cannot be read");
    EXPECT_GT(count(t, 0xFF12EE77), 50); // plain text instead
}

TEST_F(Painter, ThePictureLosesItsTransparentColourAndTakesTheAlpha) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kestle-pic-" + std::to_string(::getpid()) + ".bmp");
    QImage pic(4, 1, QImage::Format_RGB32);
    pic.setPixel(0, 0, qRgb(0, 0, 0));
    pic.setPixel(1, 0, qRgb(255, 0, 0));
    pic.setPixel(2, 0, qRgb(0, 255, 0));
    pic.setPixel(3, 0, qRgb(0, 0, 0));
    ASSERT_TRUE(pic.save(QString::fromStdString(path.string()), "BMP"));

    ImageOverlay i;
    i.placed = true;
    i.path = path.string();
    i.left = 5;
    i.top = 50;
    i.alpha = 255;
    OverlayBitmap b = painter->paintImage(i, problem);
    ASSERT_EQ(b.width, 4);
    EXPECT_EQ(b.left, 5);
    EXPECT_EQ(b.top, 50);
    EXPECT_EQ(b.pixels, (std::vector<std::uint32_t>{0, 0xFFFF0000, 0xFF00FF00, 0}));
    i.transparent = 0x00FF00;
    i.alpha = 128;
    b = painter->paintImage(i, problem);
    EXPECT_EQ(b.pixels[2], 0u);
    EXPECT_NEAR(b.pixels[1] >> 24, 128, 1);
    EXPECT_NEAR(b.pixels[3] >> 24, 128, 1); // black is no longer the transparent colour
    EXPECT_TRUE(problem.empty());

    i.path = "/no/such/picture.bmp";
    EXPECT_TRUE(painter->paintImage(i, problem).empty());
    EXPECT_EQ(problem, "The picture /no/such/picture.bmp cannot be read");
    std::filesystem::remove(path);

    DateOverlay d;
    d.left = 7;
    d.top = 9;
    d.color = 0x0000FF;
    const OverlayBitmap date = painter->paintDate(d, "12/07/2026");
    EXPECT_EQ(date.left, 7);
    EXPECT_EQ(date.top, 9);
    EXPECT_GT(count(date, 0xFF0000FF), 20);
}

} // namespace
} // namespace kestle::capture
