// SPDX-License-Identifier: GPL-3.0-or-later
// Spectrogram pictures: Qt glue.
#include "review/spectrogram_image_qt.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <unistd.h>

namespace kestle::review {

namespace {

struct Stop {
    double at;
    int r, g, b;
};
constexpr std::array<Stop, 5> kDay = {{{0, 8, 4, 28},
                                       {0.3, 88, 20, 110},
                                       {0.55, 190, 50, 80},
                                       {0.8, 245, 140, 30},
                                       {1, 252, 250, 170}}};
// Dim red to amber on black, as the night view's other colours.
constexpr std::array<Stop, 5> kNight = {
    {{0, 0, 0, 0}, {0.25, 60, 8, 0}, {0.5, 150, 40, 0}, {0.75, 205, 100, 10}, {1, 235, 165, 60}}};

template <std::size_t N> std::uint32_t ramp(const std::array<Stop, N>& stops, double x) {
    x = std::clamp(x, 0.0, 1.0);
    std::size_t i = 1;
    while (i + 1 < N && stops[i].at < x)
        ++i;
    const Stop& a = stops[i - 1];
    const Stop& b = stops[i];
    const double t = (x - a.at) / (b.at - a.at);
    auto mix = [t](int u, int v) { return std::uint32_t(std::lround(u + (v - u) * t)); };
    return mix(a.r, b.r) << 16 | mix(a.g, b.g) << 8 | mix(a.b, b.b);
}

} // namespace

std::uint32_t spectrumColour(double shade, bool night) {
    return night ? ramp(kNight, shade) : ramp(kDay, shade);
}

double cellShade(std::uint8_t cell, double floorDb) {
    if (cell == 0)
        return 0;
    return std::clamp((dbOfCell(cell) - (floorDb - 6)) / 60, 0.0, 1.0);
}

QImage spectrogramImage(const Spectrogram& s, std::size_t from, std::size_t to, double floorDb,
                        bool night) {
    to = std::min(to, s.columns());
    if (from >= to)
        return {};
    std::array<QRgb, 256> lut;
    for (int c = 0; c < 256; ++c)
        lut[std::size_t(c)] =
            0xFF000000u | spectrumColour(cellShade(std::uint8_t(c), floorDb), night);
    QImage img(int(to - from), kSpectrumRows, QImage::Format_RGB32);
    for (int row = 0; row < kSpectrumRows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(kSpectrumRows - 1 - row));
        for (std::size_t c = from; c < to; ++c)
            line[c - from] = lut[s.at(c, row)];
    }
    return img;
}

Status writeSpectrogramPng(const Spectrogram& s, double floorDb, const std::filesystem::path& png,
                           int width, int height) {
    constexpr int kLeft = 48, kBottom = 20, kTop = 8;
    QImage out(width + kLeft + 8, height + kTop + kBottom, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.translate(0, kTop);
    const QImage cells = spectrogramImage(s, 0, s.columns(), floorDb, false);
    if (!cells.isNull())
        p.drawImage(QRect(kLeft, 0, width, height), cells);
    p.setPen(Qt::black);
    QFont f = p.font();
    f.setPixelSize(10);
    p.setFont(f);
    for (int khz = 0; khz <= int(kTopHz / 1000); khz += 2) {
        const int y = height - int(khz * 1000 / kTopHz * height);
        p.drawLine(kLeft - 4, y, kLeft, y);
        p.drawText(QRect(0, y - 7, kLeft - 6, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString("%1 kHz").arg(khz));
    }
    const double seconds = double(s.columns()) / std::max(1, s.columnsPerSecond);
    const double step = seconds > 20 ? 5 : seconds > 5 ? 1 : 0.5;
    for (double t = 0; t <= seconds + 1e-9; t += step) {
        const int x = kLeft + int(t / std::max(seconds, 1e-9) * width);
        p.drawLine(x, height, x, height + 4);
        p.drawText(QRect(x - 30, height + 4, 60, kBottom - 4), Qt::AlignCenter,
                   QString("%1 s").arg(t, 0, 'g', 3));
    }
    p.end();
    const std::string temp = png.string() + ".tmp" + std::to_string(::getpid());
    if (!out.save(QString::fromStdString(temp), "PNG"))
        return Error{png.string() + " cannot be written"};
    if (std::rename(temp.c_str(), png.c_str()) != 0) {
        std::remove(temp.c_str());
        return Error{png.string() + " cannot be written"};
    }
    return {};
}

} // namespace kestle::review
