#include "ui/theme.h"

namespace kestle::ui {

namespace {

QColor rgb(forms::Rgb c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

const QColor kNightRed(0xC8, 0x28, 0x18);
const QColor kNightAmber(0xB0, 0x78, 0x28);
const QColor kNightDimAmber(0x6A, 0x48, 0x18);
const QColor kNightGround(0x0A, 0x06, 0x04);
const QColor kNightPanel(0x14, 0x0C, 0x06);

} // namespace

bool isReddish(forms::Rgb c) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r > 96 && r > 2 * g && r > 2 * b;
}

QColor Theme::text(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? kNightRed : kNightAmber;
}

QColor Theme::background(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? QColor(0x30, 0x08, 0x04) : kNightPanel;
}

QColor Theme::fill(forms::Rgb c) const {
    if (!night_)
        return rgb(c);
    return isReddish(c) ? kNightRed : kNightDimAmber;
}

QColor Theme::window() const {
    return night_ ? kNightGround : QColor(0xEF, 0xEF, 0xEF);
}
QColor Theme::caption() const {
    return night_ ? kNightDimAmber : QColor(0x40, 0x40, 0x40);
}
QColor Theme::border() const {
    return night_ ? QColor(0x3A, 0x24, 0x10) : QColor(0xA0, 0xA0, 0xA0);
}
QColor Theme::display() const {
    return night_ ? QColor(0x00, 0x00, 0x00) : QColor(0x10, 0x14, 0x18);
}
QColor Theme::displayText() const {
    return night_ ? kNightAmber : QColor(0x7C, 0xFC, 0x9A);
}

QPalette Theme::palette(const QPalette& day) const {
    if (!night_)
        return day;
    QPalette p;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, kNightGround);
        p.setColor(group, QPalette::WindowText, kNightAmber);
        p.setColor(group, QPalette::Base, kNightPanel);
        p.setColor(group, QPalette::AlternateBase, kNightGround);
        p.setColor(group, QPalette::Text, kNightAmber);
        p.setColor(group, QPalette::Button, QColor(0x1E, 0x12, 0x08));
        p.setColor(group, QPalette::ButtonText, kNightAmber);
        p.setColor(group, QPalette::BrightText, kNightRed);
        p.setColor(group, QPalette::Highlight, QColor(0x50, 0x14, 0x08));
        p.setColor(group, QPalette::HighlightedText, QColor(0xD8, 0x90, 0x40));
        p.setColor(group, QPalette::ToolTipBase, kNightPanel);
        p.setColor(group, QPalette::ToolTipText, kNightAmber);
        p.setColor(group, QPalette::PlaceholderText, kNightDimAmber);
        p.setColor(group, QPalette::Light, QColor(0x3A, 0x24, 0x10));
        p.setColor(group, QPalette::Midlight, QColor(0x2A, 0x1A, 0x0C));
        p.setColor(group, QPalette::Mid, QColor(0x22, 0x14, 0x08));
        p.setColor(group, QPalette::Dark, QColor(0x08, 0x04, 0x02));
        p.setColor(group, QPalette::Shadow, QColor(0x00, 0x00, 0x00));
        p.setColor(group, QPalette::Link, kNightRed);
    }
    p.setColor(QPalette::Disabled, QPalette::Window, kNightGround);
    p.setColor(QPalette::Disabled, QPalette::Base, kNightGround);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x12, 0x0A, 0x04));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x48, 0x30, 0x12));
    return p;
}

} // namespace kestle::ui
