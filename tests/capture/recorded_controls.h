#pragma once
// Capture controls that record nothing and remember every operation as the
// headless call log prints it ("CAPTURE Audio.Start").
#include "capture/call_log.h"
#include "capture/null_capture.h"

#include <string>
#include <vector>

namespace kestle::capture::test {

struct RecordedControls {
    std::vector<std::string> calls;
    NullAudio silentAudio;
    NullVideo silentVideo;
    CallLogAudio audio{silentAudio, [this](const std::string& l) { calls.push_back(l); }};
    CallLogVideo video{silentVideo, [this](const std::string& l) { calls.push_back(l); }};
};

} // namespace kestle::capture::test
