// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A night recorded by a headless session (the simulated Kestle, its data
// log, sound recorded for about 25 s, a question typed while the speech
// output speaks the words), whose recording is then replaced by a known
// mix over room-like noise: the speech output's words at the journal's
// speech events, a stranger's voice later, knocks and a tone; the bag is
// sealed again. The voices' true stretches are returned with it.
#include "capture/kestle_process.h"
#include "evidence/bagit.h"
#include "review/session_model.h"
#include "sound_fixtures.h"

#include <filesystem>
#include <vector>

namespace kestle::review::test {

struct SpokenNight {
    std::filesystem::path bag;
    std::string recording;         // its path in the bag
    std::vector<Placed> team;      // the speech output's words (session-free: s into the recording)
    Placed stranger, knocks, tone; // s into the recording
};

inline SpokenNight recordSpokenNight(capture::test::KestleProcess& k) {
    namespace fs = std::filesystem;
    SpokenNight n;
    k.start("click speechON\nclick av3\nwait 1000\n"
            "type question Is anyone here?\\r\\n\nwait 24000\nclick av3\nwait 300\nquit\n");
    EXPECT_EQ(k.wait(), 0) << k.out();
    for (const auto& e : fs::directory_iterator(k.data() / "Sessions"))
        n.bag = e.path();
    auto m = loadSession(n.bag, false);
    EXPECT_TRUE(m) << m.error();
    if (!m)
        return n;
    const Event* rec = nullptr;
    for (const Event& e : m->events)
        if (e.kind == EventKind::Recording && e.file.ends_with(".wav"))
            rec = &e;
    EXPECT_NE(rec, nullptr);
    if (!rec)
        return n;
    n.recording = rec->file;
    Recording mix(double(rec->durationMs) / 1000);
    mix.room();
    double lastEnd = -1;
    for (const Event& e : m->events) {
        if (e.name != "speech")
            continue;
        const double at = double(e.ms - rec->heardFromMs) / 1000;
        const auto q = e.text.find('"');
        // The words follow each other closely: each after the one before.
        if (at > 0 && at > lastEnd + 0.05 && at < 10) {
            n.team.push_back(mix.speech(at, e.text.substr(q + 1, e.text.size() - q - 2)));
            lastEnd = n.team.back().to;
        }
    }
    n.stranger = mix.speech(13, "Get out of this house.");
    n.knocks = mix.clicks(18, 3, 0.4, -10);
    n.tone = mix.tone(21, 1.5, 440, -24);
    const fs::path wav = n.bag / n.recording, temp = wav.string() + ".new";
    mix.writeWav(temp);
    fs::rename(temp, wav); // not through a hard link into the data folder
    evidence::BagInfo info;
    for (auto& [key, v] : m->info)
        if (key != "Bagging-Date" && key != "Payload-Oxum" && key != "Bag-Size")
            info.emplace_back(key, v);
    EXPECT_TRUE(evidence::sealBag(n.bag, info, "2026-12-09"));
    return n;
}

} // namespace kestle::review::test
