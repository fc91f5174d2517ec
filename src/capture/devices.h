// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cameras and microphones capture can use, as lists of names with what
// the pipelines need to open them.
#include <memory>
#include <string>
#include <vector>

namespace kestle::capture {

struct VideoFormat {
    std::string name; // "640x480 YUY2 30 fps"
    std::string caps; // the one format as GStreamer caps text
    int width = 0, height = 0;
    int fpsNum = 30, fpsDen = 1;
};

struct VideoDevice {
    std::string name;
    std::vector<VideoFormat> formats; // the first is the default
    std::vector<std::string> inputs;
    std::shared_ptr<void> handle; // the device (a GstDevice); null for the test pattern
};

struct AudioDevice {
    std::string name;
    std::vector<std::string> inputs;
    std::shared_ptr<void> handle; // null for the test tone
};

struct DeviceLists {
    bool searched = false; // false until the first search for devices ended
    std::vector<VideoDevice> video;
    std::vector<AudioDevice> audio;
};

// What `--capture test` offers: "Test pattern" (640x480 at 30 fps first)
// and "Test tone".
DeviceLists testDevices();

} // namespace kestle::capture
