// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names of the capture files the main window makes: the suffixes, and the
// step that stamps `tem` and counts a file counter up.
#include "forms/main_state.h"
#include "support/scheduler.h"

#include <cstdint>
#include <string>

namespace kestle::capture {

inline constexpr const char* kVideoSuffix = "Video_Capture.AVI";
inline constexpr const char* kConstantAudioSuffix = "_EVP.wav";
inline constexpr const char* kQaAudioSuffix = "Audio_QA.wav";
inline constexpr const char* kAlarmAudioSuffix = "Alarm_Audio.wav";
inline constexpr const char* kAlarmPictureSuffix = "Alarm_VIDEO.JPG";
inline constexpr const char* kQaPictureSuffix = "_VID.JPG";

// A new file name: `st.tem` gets a fresh file-safe time stamp, `counter`
// counts up, and the name is appath + tem + "_" + counter + suffix.
std::string nextCaptureName(forms::MainState& st, const Scheduler& sched, const std::string& appath,
                            std::int16_t& counter, const char* suffix);

} // namespace kestle::capture
