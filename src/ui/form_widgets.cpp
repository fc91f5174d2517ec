#include "ui/form_widgets.h"

#include <QKeyEvent>
#include <QPainter>

namespace kestle::ui {

void PictureWidget::paintEvent(QPaintEvent*) {
    if (paint)
        paint(*this);
}

namespace {

// Typing into a text box: the model gets the keys as the form's change
// event does; false when the key is not typing.
bool typeInto(forms::Control& c, QKeyEvent* e, bool manyLines) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (manyLines)
            c.appendText("\r\n");
        return true;
    }
    if (e->key() == Qt::Key_Backspace) {
        std::string t = c.text();
        if (!t.empty()) {
            // Drop one UTF-8 code point.
            std::size_t n = t.size() - 1;
            while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80)
                --n;
            t.resize(n);
            c.setText(t);
        }
        return true;
    }
    const QString s = e->text();
    if (!s.isEmpty() && s.at(0).isPrint()) {
        c.appendText(s.toStdString());
        return true;
    }
    return false;
}

} // namespace

void TextBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly() || !typeInto(c_, e, lineWrapMode() != QPlainTextEdit::NoWrap))
        QPlainTextEdit::keyPressEvent(e);
    else if (typed)
        typed();
}

void LineBoxWidget::paintEvent(QPaintEvent* e) {
    QLineEdit::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LineBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly() || !typeInto(c_, e, false))
        QLineEdit::keyPressEvent(e);
    else if (typed)
        typed();
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

void LabelWidget::showText(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    keepNewestInView();
}

void LabelWidget::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    keepNewestInView();
}

void LabelWidget::keepNewestInView() {
    if (!wordWrap())
        return;
    const Qt::Alignment v = heightForWidth(width()) > height() ? Qt::AlignBottom : Qt::AlignTop;
    if ((alignment() & Qt::AlignVertical_Mask) != v)
        setAlignment((alignment() & ~Qt::AlignVertical_Mask) | v);
}

} // namespace kestle::ui
