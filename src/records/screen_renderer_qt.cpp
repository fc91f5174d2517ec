// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/screen_renderer_qt.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>

namespace kestle::records {

namespace {

constexpr int kJpegQuality = 90;

QString screenText(const std::string& utf8) {
    QString t = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    return t;
}

} // namespace

const QImage& QtScreenRenderer::background() {
    if (!background_.isNull())
        return background_;
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient g(0, 0, kWidth * 0.35, kHeight);
    g.setColorAt(0.0, QColor(0x1d, 0x2a, 0x3a));
    g.setColorAt(0.55, QColor(0x0e, 0x16, 0x22));
    g.setColorAt(1.0, QColor(0x05, 0x08, 0x0d));
    p.fillRect(img.rect(), g);

    // Watermark: large, faint, across the middle, so every capture shows
    // where it came from without hiding the text.
    p.save();
    p.translate(kWidth / 2.0, kHeight / 2.0);
    p.rotate(-18);
    QFont mark(QStringLiteral("DejaVu Sans"));
    mark.setPixelSize(30);
    mark.setBold(true);
    p.setFont(mark);
    p.setPen(QColor(255, 255, 255, 22));
    const QRect markRect(-kWidth / 2, -30, kWidth, 60);
    p.drawText(markRect, Qt::AlignCenter, QStringLiteral("Vantic Kestle - Verified Output"));
    p.restore();

    // Frame: an outer light line and an inner dark one.
    p.setPen(QPen(QColor(0x7f, 0x9c, 0xbf), 2));
    p.drawRect(QRectF(1, 1, kWidth - 2, kHeight - 2));
    p.setPen(QPen(QColor(0x2c, 0x3d, 0x52), 1));
    p.drawRect(QRectF(5.5, 5.5, kWidth - 11, kHeight - 11));
    p.end();
    background_ = img;
    return background_;
}

QImage QtScreenRenderer::picture(const std::string& utf8Text) {
    QImage img = background().copy();
    QPainter p(&img);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f(QStringLiteral("DejaVu Sans"));
    p.setPen(QColor(0xe6, 0xee, 0xf7));
    // The display wraps its caption, so the picture wraps it the same way.
    // A full display's text is smaller, so that its newest words are in
    // the picture too: they are what the capture is for.
    const QRect area(kTextLeft, kTextTop, kWidth - 2 * kTextLeft, kHeight - 2 * kTextTop);
    const QString text = screenText(utf8Text);
    constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    int px = 12;
    for (; px > 6; --px) {
        f.setPixelSize(px);
        if (QFontMetrics(f).boundingRect(area, kFlags, text).height() <= area.height())
            break;
    }
    f.setPixelSize(px);
    p.setFont(f);
    const bool fits = QFontMetrics(f).boundingRect(area, kFlags, text).height() <= area.height();
    p.drawText(area, fits ? kFlags : (kFlags & ~Qt::AlignTop) | Qt::AlignBottom, text);
    p.end();
    return img;
}

Status QtScreenRenderer::render(const std::string& utf8Text,
                                const std::filesystem::path& jpegPath) {
    if (!qGuiApp)
        return Error{"picture output needs the Qt GUI application"};
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setQuality(kJpegQuality);
        if (!writer.write(picture(utf8Text)))
            return Error{"the JPEG could not be encoded: " + writer.errorString().toStdString()};
    }
    // Written beside the target and renamed over it: a failed capture never
    // leaves half a picture, and an existing file is replaced whole.
    QSaveFile file(QString::fromStdU16String(jpegPath.u16string()));
    if (!file.open(QIODevice::WriteOnly))
        return Error{file.errorString().toStdString()};
    if (file.write(bytes) != bytes.size() || !file.commit())
        return Error{file.errorString().toStdString()};
    return {};
}

std::unique_ptr<ScreenRenderer> makeScreenRenderer() {
    if (!qGuiApp)
        return std::make_unique<NoPictureOutput>();
    return std::make_unique<QtScreenRenderer>();
}

} // namespace kestle::records
