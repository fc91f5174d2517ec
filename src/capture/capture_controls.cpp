// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_controls.h"

namespace kestle::capture {

int findIndex(const NameList& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == name)
            return static_cast<int>(i);
    }
    return -1;
}

std::string describe(const CaptureError& e) {
    std::string s = e.source == CaptureError::Source::Audio ? "Audio capture: " : "Video capture: ";
    if (!e.file.empty())
        s += e.file + ": ";
    return s + e.reason;
}

} // namespace kestle::capture
