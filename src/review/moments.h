// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moments worth hearing: the stretches of a recording that stand out of its
// own noise floor, whether a voice may be in them (WebRTC's detector and
// the level's syllable-like swings), whether the team itself was speaking
// then (typed questions, the speech output, answer windows), and their
// rank: voice, loudness over the floor, and closeness to an alarm, a
// sensor jump or a chosen word, each told in words. Pure; any thread.
#include "review/session_model.h"
#include "review/sound_analysis.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestle::review {

enum class MomentKind { Voice, Team, Sound };
const char* momentKindName(MomentKind k); // "voice", "team", "sound"

// The level each frame is measured against: per second, the 10th
// percentile of its frames, then the 20th percentile of those over the
// minute around it (hundredths of a dB, as SoundAnalysis::level).
std::vector<std::int16_t> noiseFloor(const SoundAnalysis& a);

// A stretch of one recording, in ms from its first sample.
struct Stretch {
    std::int64_t fromMs = 0, toMs = 0;
    double voice = 0;       // 0..1: how likely a voice it is
    double overFloorDb = 0; // its loud frames' level over the floor
};

// Frames at least kActiveDb over the floor, joined over gaps up to
// kJoinMs; a stretch is a voice when `voice` >= kVoiceAt.
inline constexpr double kActiveDb = 6;
inline constexpr std::int64_t kJoinMs = 400;
inline constexpr double kVoiceAt = 0.5;
std::vector<Stretch> findStretches(const SoundAnalysis& a);

// A span of session time (ms) when the team made sound itself, and why.
struct TeamSpan {
    std::int64_t fromMs = 0, toMs = 0;
    std::string why; // "speech output \"Hello\"", "typed question", "answer window"
};
std::vector<TeamSpan> teamSpans(const std::vector<Event>& events);

// A jump of a series beyond four times its spread over the minute before.
struct SensorJump {
    std::int64_t ms = 0;
    std::string what; // "EMF", "temperature"
};
std::vector<SensorJump> sensorJumps(const SessionModel& m);

struct Moment {
    std::int64_t ms = 0; // session time of its start (as Event::ms)
    std::int64_t lengthMs = 0;
    std::string file;          // the recording's path in the bag
    std::int64_t offsetMs = 0; // where in the recording it starts
    double score = 0;          // 0..1
    MomentKind kind = MomentKind::Sound;
    double voice = 0, overFloorDb = 0;
    std::vector<std::string> reasons;
};

// What a moment's closeness is measured to.
struct MomentContext {
    std::vector<std::int64_t> alarms;
    std::vector<SensorJump> jumps;
    std::string word; // the chosen word, empty: none
    std::vector<std::int64_t> wordTimes;
    std::vector<TeamSpan> team;
};
MomentContext momentContext(const SessionModel& m, const std::string& chosenWord = {});

// The moments of one recording (`recording` an event of kind Recording
// placed by heardFromMs), scored.
std::vector<Moment> recordingMoments(const Event& recording, const SoundAnalysis& a,
                                     const MomentContext& c);
// Best first; equal scores in time order.
void rankMoments(std::vector<Moment>& moments);

// One line of `kestle --moments`: start, length in s, file, score, kind,
// reasons, tab-separated.
std::string momentLine(const Moment& m);

} // namespace kestle::review
