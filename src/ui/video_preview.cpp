// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/video_preview.h"

#include <QEvent>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace kestle::ui {

VideoPreview::VideoPreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    updateShown();
}

void VideoPreview::setLook(const capture::PreviewLook& look) {
    look_ = look;
    updateShown();
    update();
}

void VideoPreview::showFrame(std::shared_ptr<const capture::VideoFrame> frame) {
    frame_ = std::move(frame);
    if (frame_)
        ++shown_;
    updateShown();
    update();
}

void VideoPreview::setTheme(const Theme& t) {
    theme_ = t;
    update();
}

void VideoPreview::changeEvent(QEvent* e) {
    const bool palette =
        e->type() == QEvent::ApplicationPaletteChange || e->type() == QEvent::PaletteChange;
    if (palette && Theme::current().night() != theme_.night())
        setTheme(Theme::current());
    QWidget::changeEvent(e);
}

void VideoPreview::updateShown() {
    setVisible(look_.visible && (frame_ || !look_.message.empty()));
}

void VideoPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::uint32_t c = look_.backColor;
    QImage back(1, 1, QImage::Format_RGB32);
    back.fill(QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    p.fillRect(rect(), theme_.picture(back).pixelColor(0, 0));
    if (frame_) {
        // Wraps the frame's pixels; nothing is copied by day.
        const QImage img(frame_->pixels, frame_->width, frame_->height, frame_->stride,
                         QImage::Format_RGB32);
        QRect target = rect();
        if (look_.keepAspectRatio) {
            const QSize fitted = img.size().scaled(size(), Qt::KeepAspectRatio);
            target = QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                           fitted);
        }
        if (theme_.night()) // scaled first: only what is shown is turned red
            p.drawImage(target, theme_.picture(img.scaled(target.size())));
        else
            p.drawImage(target, img);
    } else if (!look_.message.empty()) {
        p.setPen(theme_.night()                      ? theme_.text(0xFFFFFF)
                 : qGray(static_cast<QRgb>(c)) > 128 ? Qt::black
                                                     : Qt::white);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromStdString(look_.message));
    }
}

} // namespace kestle::ui
