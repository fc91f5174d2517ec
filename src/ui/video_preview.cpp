#include "ui/video_preview.h"

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

void VideoPreview::setBrightness(double b) {
    brightness_ = std::clamp(b, 0.0, 1.0);
    update();
}

void VideoPreview::updateShown() {
    setVisible(look_.visible && (frame_ || !look_.message.empty()));
}

void VideoPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::uint32_t c = look_.backColor;
    p.fillRect(rect(), QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    if (frame_) {
        // Wraps the frame's pixels; nothing is copied.
        const QImage img(frame_->pixels, frame_->width, frame_->height, frame_->stride,
                         QImage::Format_RGB32);
        QRect target = rect();
        if (look_.keepAspectRatio) {
            const QSize fitted = img.size().scaled(size(), Qt::KeepAspectRatio);
            target = QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                           fitted);
        }
        p.drawImage(target, img);
        if (brightness_ < 1)
            p.fillRect(target, QColor(0, 0, 0, static_cast<int>((1 - brightness_) * 255)));
    } else if (!look_.message.empty()) {
        p.setPen(qGray(static_cast<QRgb>(c)) > 128 ? Qt::black : Qt::white);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromStdString(look_.message));
    }
}

} // namespace kestle::ui
