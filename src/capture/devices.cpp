// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/devices.h"

namespace kestle::capture {

DeviceLists testDevices() {
    DeviceLists d;
    d.searched = true;
    VideoDevice v;
    v.name = "Test pattern";
    v.inputs = {"Test pattern"};
    for (auto [w, h] : {std::pair{640, 480}, {320, 240}, {800, 600}, {1280, 720}}) {
        VideoFormat f;
        f.width = w;
        f.height = h;
        f.name = std::to_string(w) + "x" + std::to_string(h) + " 30 fps";
        f.caps = "video/x-raw,format=BGRx,width=" + std::to_string(w) +
                 ",height=" + std::to_string(h) + ",framerate=30/1";
        v.formats.push_back(f);
    }
    d.video.push_back(v);
    d.audio.push_back({"Test tone", {"Test tone"}, nullptr});
    return d;
}

} // namespace kestle::capture
