// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/theme.h"

#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyle>

namespace kestle::ui {

namespace {

QColor rgb(forms::Rgb c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// Every night colour has less green and blue than red; mixing two of them
// (anti-aliased text, blended lines) keeps it so.
const QColor kNightBright(0xE0, 0x2C, 0x1C); // what means something: a hit, an alarm
const QColor kNightText(0xA8, 0x26, 0x18);
const QColor kNightDim(0x62, 0x16, 0x0E);
const QColor kNightGround(0x0A, 0x03, 0x02);
const QColor kNightPanel(0x16, 0x05, 0x03);
const QColor kNightBorder(0x3A, 0x0E, 0x08);

} // namespace

namespace {

class NightCursors : public QObject {
  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::Paint || busy_ || !Theme::current().night())
            return false;
        auto* w = qobject_cast<QWidget*>(o);
        if (!w)
            return false;
        QRect cursor;
        QColor ink;
        if (auto* line = qobject_cast<QLineEdit*>(o)) {
            // Its window's focus, active or not: the cursor may show then.
            if (line->window()->focusWidget() != line || line->isReadOnly())
                return false;
            // The rectangle a line edit reports reaches 5 pixels left of its
            // cursor, which stands on a fractional x: one more pixel is covered.
            const QRect r = line->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            cursor = QRect(r.x() + 5, r.y(),
                           line->style()->pixelMetric(QStyle::PM_TextCursorWidth) + 1, r.height());
            ink = line->palette().color(QPalette::Text);
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(o->parent());
                   edit && o == edit->viewport()) {
            if (edit->window()->focusWidget() != edit || edit->isReadOnly())
                return false;
            cursor = edit->cursorRect().adjusted(0, 0, 1, 0);
            ink = edit->palette().color(QPalette::Text);
        } else {
            return false;
        }
        // The widget paints itself first, then its cursor is painted over.
        busy_ = true;
        const bool done = o->event(e); // QObject::event is public
        busy_ = false;
        QPainter(w).fillRect(cursor, ink);
        return done;
    }

  private:
    bool busy_ = false;
};

// An icon's luminance in red, its transparency kept.
QPixmap redPixmap(const QPixmap& pm) {
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int v = qGray(row[x]);
            row[x] = qRgba(v * 3 / 4, v / 14, v / 20, qAlpha(row[x]));
        }
    }
    QPixmap out = QPixmap::fromImage(img);
    out.setDevicePixelRatio(pm.devicePixelRatio());
    return out;
}

class NightStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        QIcon i = QProxyStyle::standardIcon(icon, option, widget);
        if (!Theme::current().night() || i.isNull())
            return i;
        QIcon red;
        for (const QSize& s : i.availableSizes())
            red.addPixmap(redPixmap(i.pixmap(s)));
        return red;
    }
    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap,
                                const QStyleOption* option) const override {
        const QPixmap pm = QProxyStyle::generatedIconPixmap(mode, pixmap, option);
        return Theme::current().night() ? redPixmap(pm) : pm;
    }
};

} // namespace

void installNightView() {
    static NightCursors* installed = nullptr;
    if (installed || !qApp)
        return;
    installed = new NightCursors;
    installed->setParent(qApp);
    qApp->installEventFilter(installed);
    // The palette set later stays: the style's own is not put back over it.
    const QPalette palette = QApplication::palette();
    QApplication::setStyle(new NightStyle(QApplication::style()->name()));
    QApplication::setPalette(palette);
}

Theme Theme::current() {
    return Theme(isNightPalette(QApplication::palette()));
}

bool isReddish(forms::Rgb c) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r > 96 && r > 2 * g && r > 2 * b;
}

bool isNightPalette(const QPalette& p) {
    return p.color(QPalette::Window) == kNightGround;
}

QColor Theme::text(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? kNightBright : kNightText;
}

QColor Theme::background(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? QColor(0x34, 0x07, 0x04) : kNightPanel;
}

QColor Theme::fill(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? kNightBright : kNightDim;
}

QColor Theme::window() const {
    return night_ ? kNightGround : QColor(0xEF, 0xEF, 0xEF);
}
QColor Theme::caption() const {
    return night_ ? kNightDim.lighter(130) : QColor(0x40, 0x40, 0x40);
}
QColor Theme::border() const {
    return night_ ? kNightBorder : QColor(0xA0, 0xA0, 0xA0);
}
QColor Theme::display() const {
    return night_ ? QColor(0x00, 0x00, 0x00) : QColor(0x10, 0x14, 0x18);
}
QColor Theme::displayText() const {
    return night_ ? kNightText.lighter(115) : QColor(0x7C, 0xFC, 0x9A);
}

QImage Theme::picture(const QImage& img) const {
    if (!night_ || img.isNull())
        return img;
    // Luminance, then a red colour table over it: one pass, no colour left.
    QImage grey = img.convertToFormat(QImage::Format_Grayscale8);
    QImage red(grey.constBits(), grey.width(), grey.height(), grey.bytesPerLine(),
               QImage::Format_Indexed8);
    QList<QRgb> table(256);
    for (int y = 0; y < 256; ++y)
        table[y] = qRgb(y * 3 / 4, y / 14, y / 20);
    red.setColorTable(table);
    return red.convertToFormat(QImage::Format_RGB32);
}

QPalette Theme::palette(const QPalette& day) const {
    if (!night_)
        return day;
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, kNightGround);
        p.setColor(group, QPalette::WindowText, kNightText);
        p.setColor(group, QPalette::Base, kNightPanel);
        p.setColor(group, QPalette::AlternateBase, kNightGround);
        p.setColor(group, QPalette::Text, kNightText);
        p.setColor(group, QPalette::Button, QColor(0x20, 0x07, 0x04));
        p.setColor(group, QPalette::ButtonText, kNightText);
        p.setColor(group, QPalette::BrightText, kNightBright);
        p.setColor(group, QPalette::Highlight, QColor(0x52, 0x0E, 0x08));
        p.setColor(group, QPalette::HighlightedText, kNightBright);
        p.setColor(group, QPalette::ToolTipBase, kNightPanel);
        p.setColor(group, QPalette::ToolTipText, kNightText);
        p.setColor(group, QPalette::PlaceholderText, kNightDim);
        p.setColor(group, QPalette::Light, kNightBorder);
        p.setColor(group, QPalette::Midlight, QColor(0x2C, 0x0A, 0x06));
        p.setColor(group, QPalette::Mid, QColor(0x24, 0x08, 0x05));
        p.setColor(group, QPalette::Dark, QColor(0x08, 0x02, 0x01));
        p.setColor(group, QPalette::Shadow, QColor(0x00, 0x00, 0x00));
        p.setColor(group, QPalette::Link, kNightBright);
        p.setColor(group, QPalette::LinkVisited, kNightText);
    }
    p.setColor(QPalette::Disabled, QPalette::Window, kNightGround);
    p.setColor(QPalette::Disabled, QPalette::Base, kNightGround);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x14, 0x05, 0x03));
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x30, 0x08, 0x05));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, kNightDim);
    p.setColor(QPalette::Disabled, QPalette::Light, kNightBorder);
    p.setColor(QPalette::Disabled, QPalette::Shadow, QColor(0x00, 0x00, 0x00));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                      QPalette::PlaceholderText, QPalette::BrightText})
        p.setColor(QPalette::Disabled, role, QColor(0x4C, 0x12, 0x0A));
    return p;
}

} // namespace kestle::ui
