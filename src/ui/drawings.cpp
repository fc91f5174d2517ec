// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/drawings.h"

#include <QPainter>
#include <QPainterPath>

#include <map>

namespace kestle::ui {

void paintScope(QWidget& w, const std::vector<scope::Line>& lines, const Theme& theme) {
    QPainter p(&w);
    p.fillRect(w.rect(), theme.window());
    p.setPen(theme.border());
    p.drawRect(w.rect().adjusted(0, 0, -1, -1));
    const double sx = w.width() / double(scope::kDesignedScaleWidth + 60);
    const double sy = w.height() / double(scope::kDesignedScaleHeight + 60);
    p.translate(2 * sx * 15, 2 * sy * 15);
    // One pen change a colour, not one a line: the grid and the traces are
    // drawn several times a second.
    std::map<forms::Rgb, std::vector<QLineF>> byColour;
    for (const scope::Line& l : lines)
        byColour[l.rgb].emplace_back(l.x1 * sx, l.y1 * sy, l.x2 * sx, l.y2 * sy);
    for (const auto& [rgb, segments] : byColour) {
        p.setPen(QPen(theme.text(rgb), 1));
        p.drawLines(segments.data(), static_cast<int>(segments.size()));
    }
}

void paintNorthPicture(QWidget& w, const Theme& theme) {
    QPainter p(&w);
    p.setRenderHint(QPainter::Antialiasing);
    const bool night = theme.night();
    p.fillRect(w.rect(), night ? theme.window() : QColor(235, 232, 224));
    const QRectF r = w.rect();
    const double u = r.height() / 224.0; // the design's height in pixels
    const double cx = r.width() / 2, unitW = r.width() * 0.42, unitH = r.height() * 0.5;
    const QRectF body(cx - unitW / 2, r.height() * 0.36, unitW, unitH);
    const QColor arrow = night ? theme.text(forms::kRed) : QColor(160, 20, 20);
    const QColor ink = night ? theme.caption() : QColor(Qt::black);
    // North arrow.
    p.setPen(QPen(arrow, 3 * u));
    p.drawLine(QPointF(cx, body.top() - 8 * u), QPointF(cx, r.height() * 0.08));
    QPainterPath head;
    head.moveTo(cx, r.height() * 0.03);
    head.lineTo(cx - 9 * u, r.height() * 0.11);
    head.lineTo(cx + 9 * u, r.height() * 0.11);
    head.closeSubpath();
    p.fillPath(head, arrow);
    QFont f("Arial");
    f.setBold(true);
    f.setPixelSize(std::max(1, int(16 * u)));
    p.setFont(f);
    p.drawText(QRectF(cx + 12 * u, r.height() * 0.02, 40 * u, 24 * u), "N");
    // Antenna at the top edge, pointing north.
    p.setPen(QPen(ink, 3 * u));
    p.drawLine(QPointF(cx + unitW * 0.3, body.top()),
               QPointF(cx + unitW * 0.3, body.top() - 26 * u));
    // Case, display and sensor ports.
    p.setPen(QPen(ink, 2 * u));
    p.setBrush(night ? QColor(0x10, 0x0A, 0x06) : QColor(40, 44, 52));
    p.drawRoundedRect(body, 8 * u, 8 * u);
    p.setBrush(night ? theme.fill(forms::kGreen) : QColor(90, 200, 120));
    p.drawRect(QRectF(body.left() + 8 * u, body.top() + 10 * u, body.width() - 16 * u,
                      body.height() * 0.3));
    p.setBrush(night ? theme.caption() : QColor(200, 200, 200));
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(body.left() + body.width() * (0.2 + 0.2 * i), body.bottom() - 16 * u),
                      5 * u, 5 * u);
    p.setPen(night ? theme.caption() : QColor(Qt::white));
    f.setPixelSize(std::max(1, int(11 * u)));
    p.setFont(f);
    p.drawText(QRectF(body.left(), body.top() + body.height() * 0.45, body.width(), 18 * u),
               Qt::AlignCenter, "KESTLE");
    p.setPen(ink);
    p.drawText(QRectF(0, r.height() - 20 * u, r.width(), 18 * u), Qt::AlignCenter,
               "USB cable to the south");
}

} // namespace kestle::ui
