// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay layers drawn with QPainter.
#include "capture/overlay_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kestle::capture {

namespace {

QColor qc(Rgb c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Font sizes are points on a 96 dpi picture.
QFont overlayFont(const std::string& name, double points, int style) {
    QFont f(qs(name));
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0))));
    const FontFlags flags = fontFlags(style);
    f.setBold(flags.bold);
    f.setItalic(flags.italic);
    f.setUnderline(flags.underline);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

OverlayBitmap toBitmap(const QImage& img, int left, int top) {
    OverlayBitmap b;
    b.left = left;
    b.top = top;
    b.width = img.width();
    b.height = img.height();
    b.pixels.resize(static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height));
    for (int y = 0; y < b.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(img.constScanLine(y));
        std::copy(row, row + b.width, b.pixels.begin() + static_cast<std::ptrdiff_t>(y) * b.width);
    }
    return b;
}

QImage canvas(int w, int h) {
    QImage img(std::max(1, w), std::max(1, h), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QBrush hatchBrush(int style, Rgb fore, Rgb back) {
    const auto rows = hatchPattern(style);
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixelColor(
                x, y, rows[static_cast<std::size_t>(y)] & (0x80 >> x) ? qc(fore) : qc(back));
    return QBrush(tile);
}

class QtOverlayPainter final : public OverlayPainter {
  public:
    OverlayBitmap paintText(const TextOverlay& t, std::string& problem) override {
        const QFont font = overlayFont(t.fontName, t.fontSize, t.fontStyle);
        const QFontMetrics fm(font);
        const std::vector<std::string> lines = overlayLines(t.text);
        const int pad = 2; // room for the outline
        int width = 0;
        for (const std::string& l : lines)
            width = std::max(width, fm.horizontalAdvance(qs(l)));
        if (width == 0)
            return {};
        QImage img =
            canvas(width + 2 * pad, fm.lineSpacing() * static_cast<int>(lines.size()) + 2 * pad);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(font);
        QPainterPath path;
        for (std::size_t i = 0; i < lines.size(); ++i)
            path.addText(pad, pad + fm.ascent() + static_cast<int>(i) * fm.lineSpacing(), font,
                         qs(lines[i]));
        TextStyle style = t.style;
        QBrush texture;
        if (style == TextStyle::Texture) {
            const QImage tex(qs(t.textureImage));
            if (tex.isNull()) {
                problem = "The texture image " + t.textureImage + " cannot be read";
                style = TextStyle::Normal;
            } else {
                texture = QBrush(tex);
            }
        }
        const QPen border(qc(t.outlineBorder), 1.5);
        switch (style) {
        case TextStyle::Normal:
            p.fillPath(path, qc(t.color));
            break;
        case TextStyle::Outline:
            p.strokePath(path, border);
            break;
        case TextStyle::FilledOutline:
            p.fillPath(path, qc(t.outlineBack));
            p.strokePath(path, border);
            break;
        case TextStyle::Hatch:
            p.fillPath(path, hatchBrush(t.hatchStyle, t.hatchFore, t.hatchBack));
            break;
        case TextStyle::Texture:
            p.fillPath(path, texture);
            break;
        }
        p.end();
        return toBitmap(img, std::max(0, t.left - pad), std::max(0, t.top - pad));
    }

    OverlayBitmap paintDate(const DateOverlay& d, const std::string& text) override {
        const QFont font = overlayFont(d.fontName, d.fontSize, d.fontStyle);
        const QFontMetrics fm(font);
        const int width = fm.horizontalAdvance(qs(text));
        if (width == 0)
            return {};
        QImage img = canvas(width, fm.height());
        QPainter p(&img);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(font);
        p.setPen(qc(d.color));
        p.drawText(0, fm.ascent(), qs(text));
        p.end();
        return toBitmap(img, d.left, d.top);
    }

    OverlayBitmap paintImage(const ImageOverlay& i, std::string& problem) override {
        QImage src(qs(i.path));
        if (src.isNull()) {
            problem = "The picture " + i.path + " cannot be read";
            return {};
        }
        src = src.convertToFormat(QImage::Format_ARGB32);
        // Pixels of the transparent colour vanish; the rest takes the alpha.
        const QRgb key =
            qRgb((i.transparent >> 16) & 0xFF, (i.transparent >> 8) & 0xFF, i.transparent & 0xFF);
        for (int y = 0; y < src.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(src.scanLine(y));
            for (int x = 0; x < src.width(); ++x)
                if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                    row[x] = 0;
        }
        QImage img = canvas(src.width(), src.height());
        QPainter p(&img);
        p.setOpacity(std::clamp(i.alpha, 0, 255) / 255.0);
        p.drawImage(0, 0, src);
        p.end();
        return toBitmap(img, i.left, i.top);
    }
};

} // namespace

std::unique_ptr<OverlayPainter> makeOverlayPainter() {
    if (!qGuiApp)
        return nullptr;
    return std::make_unique<QtOverlayPainter>();
}

} // namespace kestle::capture
