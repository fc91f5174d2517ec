// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form_widgets.h"

#include "support/text.h"

#include <QKeyEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace kestle::ui {

void PictureWidget::paintEvent(QPaintEvent*) {
    if (paint)
        paint(*this);
}

namespace {

// nullopt when the key is not typing (it goes to the widget's own handling).
std::optional<TextEdit> editForKey(const QKeyEvent& e, bool manyLines, const std::string& text) {
    const bool textEmpty = text.empty();
    if (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) {
        // Enter with nothing typed asks nothing (a question box would
        // otherwise send an empty "User: " line).
        const bool blank = text.find_first_not_of(" \t") == std::string::npos;
        return manyLines && !blank ? TextEdit{TextEdit::Type, "\r\n"} : TextEdit{};
    }
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
    const auto edit = editForKey(e, manyLines, c.text());
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

void LabelWidget::setNewestInView(bool on) {
    newest_ = on;
    update();
}

void LabelWidget::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    keepNewestInView();
}

void LabelWidget::keepNewestInView() {
    if (!wordWrap() || newest_)
        return;
    const Qt::Alignment v = heightForWidth(width()) > height() ? Qt::AlignBottom : Qt::AlignTop;
    if ((alignment() & Qt::AlignVertical_Mask) != v)
        setAlignment((alignment() & ~Qt::AlignVertical_Mask) | v);
}

QRect LabelWidget::visibleBand() const {
    const QRect inside = contentsRect();
    // Rows that a later sibling (one stacked above) covers, wholly or in part.
    std::vector<std::pair<int, int>> covered;
    if (const QWidget* parent = parentWidget()) {
        bool above = false;
        for (const QObject* o : parent->children()) {
            if (o == this) {
                above = true;
                continue;
            }
            const auto* w = qobject_cast<const QWidget*>(o);
            if (!above || !w || !w->isVisibleTo(parent) || w->isWindow())
                continue;
            const QRect c = w->geometry().translated(-pos()).intersected(inside);
            if (!c.isEmpty())
                covered.emplace_back(c.top(), c.bottom() + 1);
        }
    }
    std::sort(covered.begin(), covered.end());
    // The tallest run of rows left free.
    int bestTop = inside.top(), bestHeight = 0, from = inside.top();
    covered.emplace_back(inside.bottom() + 1, inside.bottom() + 1);
    for (const auto& [top, bottom] : covered) {
        if (top - from > bestHeight) {
            bestTop = from;
            bestHeight = top - from;
        }
        from = std::max(from, bottom);
    }
    return QRect(inside.left(), bestTop, inside.width(), bestHeight);
}

template <typename F> void LabelWidget::eachLine(const QRect& band, F line) const {
    const QStringList paragraphs = text().split('\n');
    std::vector<std::unique_ptr<QTextLayout>> layouts;
    qreal y = 0;
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& p : paragraphs) {
        auto l = std::make_unique<QTextLayout>(p, font());
        l->setTextOption(wrap);
        l->beginLayout();
        for (QTextLine tl = l->createLine(); tl.isValid(); tl = l->createLine()) {
            tl.setLineWidth(band.width());
            tl.setPosition(QPointF(0, y));
            y += tl.height();
        }
        l->endLayout();
        layouts.push_back(std::move(l));
    }
    // Too tall for the band: its end is shown, not its start.
    const qreal top = y > band.height() ? band.bottom() + 1 - y : band.top();
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const QTextLayout& l = *layouts[i];
        for (int n = 0; n < l.lineCount(); ++n) {
            const QTextLine tl = l.lineAt(n);
            const QRectF r = tl.rect().translated(band.left(), top);
            line(l, paragraphs[qsizetype(i)].mid(tl.textStart(), tl.textLength()),
                 r.toAlignedRect(), QPointF(band.left(), top));
        }
    }
}

QRect LabelWidget::newestLineRect() const {
    QRect newest;
    eachLine(visibleBand(), [&](const QTextLayout&, const QString& t, const QRect& r, QPointF) {
        if (!t.trimmed().isEmpty())
            newest = r;
    });
    return newest;
}

void LabelWidget::paintEvent(QPaintEvent* e) {
    if (!newest_)
        return QLabel::paintEvent(e);
    QPainter p(this);
    const QRect band = visibleBand();
    p.setClipRect(band);
    p.setPen(palette().color(foregroundRole()));
    const QTextLayout* drawn = nullptr;
    eachLine(band, [&](const QTextLayout& l, const QString&, const QRect& r, QPointF at) {
        // Each paragraph once, if one of its lines shows.
        if (&l != drawn && r.intersects(band)) {
            l.draw(&p, at);
            drawn = &l;
        }
    });
}

} // namespace kestle::ui
