#include "ui/form_widgets.h"

#include "support/text.h"

#include <QKeyEvent>
#include <QPainter>
#include <optional>

namespace kestle::ui {

void PictureWidget::paintEvent(QPaintEvent*) {
    if (paint)
        paint(*this);
}

namespace {

// nullopt when the key is not typing (it goes to the widget's own handling).
std::optional<TextEdit> editForKey(const QKeyEvent& e, bool manyLines, bool textEmpty) {
    if (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter)
        return manyLines ? TextEdit{TextEdit::Type, "\r\n"} : TextEdit{};
    if (e.key() == Qt::Key_Backspace)
        return textEmpty ? TextEdit{} : TextEdit{TextEdit::Erase, {}};
    const QString s = e.text();
    if (!s.isEmpty() && s.at(0).isPrint())
        return TextEdit{TextEdit::Type, s.toStdString()};
    return std::nullopt;
}

// The key's edit reaches the model; false when the key is not typing.
bool typeInto(forms::Control& c, const QKeyEvent& e, bool manyLines,
              const std::function<void(const TextEdit&)>& edited) {
    const auto edit = editForKey(e, manyLines, c.text().empty());
    if (!edit)
        return false;
    if (edit->kind == TextEdit::Nothing)
        return true;
    if (edited)
        edited(*edit);
    if (edit->kind == TextEdit::Erase)
        c.setText(withoutLastCharacter(c.text()));
    else
        c.appendText(edit->text);
    return true;
}

} // namespace

void TextBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly() || !typeInto(c_, *e, lineWrapMode() != QPlainTextEdit::NoWrap, edited))
        QPlainTextEdit::keyPressEvent(e);
}

void LineBoxWidget::paintEvent(QPaintEvent* e) {
    QLineEdit::paintEvent(e);
    QPainter p(this);
    p.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LineBoxWidget::keyPressEvent(QKeyEvent* e) {
    if (isReadOnly() || !typeInto(c_, *e, false, edited))
        QLineEdit::keyPressEvent(e);
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
