#include "ui/form_widgets.h"

#include <QKeyEvent>
#include <QPainter>

namespace kestle::ui {

void PictureWidget::paintEvent(QPaintEvent*) {
    if (paint)
        paint(*this);
}

void TextBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly()) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (lineWrapMode() != QPlainTextEdit::NoWrap)
            c_.appendText("\r\n");
        return;
    }
    if (e->key() == Qt::Key_Backspace) {
        std::string t = c_.text();
        if (!t.empty()) {
            // Drop one UTF-8 code point.
            std::size_t n = t.size() - 1;
            while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80)
                --n;
            t.resize(n);
            c_.setText(t);
        }
        return;
    }
    const QString s = e->text();
    if (!s.isEmpty() && s.at(0).isPrint()) {
        c_.appendText(s.toStdString());
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void FrameWidget::setTitle(const QString& t) {
    title_ = t;
    update();
}

void FrameWidget::setColors(const QColor& background, const QColor& border, const QColor& title) {
    background_ = background;
    border_ = border;
    title_color_ = title;
    update();
}

int FrameWidget::borderTop() const {
    return title_.isEmpty() ? 0 : fontMetrics().height() / 2;
}

void FrameWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    p.setPen(border_);
    p.drawRect(QRect(0, borderTop(), width() - 1, height() - borderTop() - 1));
    if (title_.isEmpty())
        return;
    const QFontMetrics fm = fontMetrics();
    const int pad = fm.horizontalAdvance(' ') / 2 + 1;
    const QRect text(pad * 3, 0, fm.horizontalAdvance(title_) + 2 * pad, fm.height());
    p.fillRect(text, background_);
    p.setPen(title_color_);
    p.drawText(text, Qt::AlignCenter, title_);
}

void LabelWidget::paintEvent(QPaintEvent* e) {
    if (wordWrap()) {
        const Qt::Alignment v = heightForWidth(width()) > height() ? Qt::AlignBottom : Qt::AlignTop;
        if ((alignment() & Qt::AlignVertical_Mask) != v)
            setAlignment((alignment() & ~Qt::AlignVertical_Mask) | v);
    }
    QLabel::paintEvent(e);
}

} // namespace kestle::ui
