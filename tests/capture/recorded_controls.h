// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Capture controls that record nothing and remember every operation as the
// headless call log prints it ("CAPTURE Audio.Start"). The video control
// offers the lists and the Start status a test gives it; the audio control
// tells whether the pre-roll is kept.
#include "capture/call_log.h"
#include "capture/null_capture.h"

#include <string>
#include <vector>

namespace kestle::capture::test {

struct SilentVideo : NullVideo {
    int startStatus = kStartFailed;
    NameList devices, inputs, formats, compressors;
    Setting compressor; // the first compressor's setting
    int start() override { return startStatus; }
    NameList videoDevices() const override { return devices; }
    NameList videoInputs() const override { return inputs; }
    NameList videoFormats() const override { return formats; }
    NameList videoCompressors() const override { return compressors; }
    Setting compressorSetting(int i) const override { return i == 0 ? compressor : Setting{}; }
};

struct SilentAudio : NullAudio {
    bool kept = false; // keepPreRoll's last word
    void keepPreRoll(bool on) override { kept = on; }
};

struct RecordedControls {
    std::vector<std::string> calls;
    SilentAudio silentAudio;
    SilentVideo silentVideo;
    // As the headless output prints them.
    CallLogAudio audio{silentAudio, [this](const std::string& c) { calls.push_back("CAPTURE " + c); }};
    CallLogVideo video{silentVideo, [this](const std::string& c) { calls.push_back("CAPTURE " + c); }};
};

} // namespace kestle::capture::test
