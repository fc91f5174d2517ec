// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/layout_math.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

namespace kestle::forms {

namespace {

int edge(int twips, double scale) {
    return static_cast<int>(std::lround(twips * scale / kTwipsPerPixel));
}

// The position of the letter a caption marks, or npos.
std::size_t markedAt(const std::string& c) {
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        if (c[i] != '&')
            continue;
        if (c[i + 1] == '&') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return std::string::npos;
}

} // namespace

PxRect toPixels(int left, int top, int width, int height, double scale) {
    PxRect r;
    r.x = edge(left, scale);
    r.y = edge(top, scale);
    r.width = edge(left + width, scale) - r.x;
    r.height = edge(top + height, scale) - r.y;
    return r;
}

PxRect keepInside(PxRect frame, const PxRect& room) {
    frame.width = std::min(frame.width, room.width);
    frame.height = std::min(frame.height, room.height);
    frame.x = std::clamp(frame.x, room.x, room.x + room.width - frame.width);
    frame.y = std::clamp(frame.y, room.y, room.y + room.height - frame.height);
    return frame;
}

double fitScale(int width, int height, int designWidth, int designHeight) {
    if (designWidth <= 0 || designHeight <= 0 || width <= 0 || height <= 0)
        return 1.0;
    return std::min(double(width) * kTwipsPerPixel / designWidth,
                    double(height) * kTwipsPerPixel / designHeight);
}

std::vector<std::string> withMnemonics(const std::vector<std::string>& captions) {
    std::set<char> taken;
    for (const std::string& c : captions)
        if (auto at = markedAt(c); at != std::string::npos)
            taken.insert(static_cast<char>(std::tolower(static_cast<unsigned char>(c[at]))));
    std::vector<std::string> out;
    for (const std::string& c : captions) {
        if (markedAt(c) != std::string::npos) {
            out.push_back(c);
            continue;
        }
        std::string marked = c;
        for (std::size_t i = 0; i < c.size(); ++i) {
            const auto ch = static_cast<unsigned char>(c[i]);
            const char key = static_cast<char>(std::tolower(ch));
            if (std::isalnum(ch) && !taken.count(key)) {
                taken.insert(key);
                marked = c.substr(0, i) + "&" + c.substr(i);
                break;
            }
        }
        out.push_back(marked);
    }
    return out;
}

std::string withoutMnemonic(const std::string& caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        out += caption[i];
    }
    return out;
}

} // namespace kestle::forms
