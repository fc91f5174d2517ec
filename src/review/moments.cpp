// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/moments.h"

#include "review/time_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <optional>

namespace kestle::review {

namespace {

constexpr int kFramesPerSecond = 100;
constexpr int kFloorWindowSeconds = 30; // either side

std::int16_t percentile(std::vector<std::int16_t> v, double share) {
    if (v.empty())
        return kSilentLevel;
    const auto k = std::size_t(share * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

double clamp01(double x) {
    return std::clamp(x, 0.0, 1.0);
}

std::string seconds(double s) {
    char b[32];
    std::snprintf(b, sizeof b, s < 10 ? "%.1f s" : "%.0f s", s);
    return b;
}

// The spoken text of a speech line: `1 "Hello"` -> Hello.
std::string spokenText(const std::string& line) {
    const auto q = line.find('"');
    if (q == std::string::npos)
        return line;
    std::string t = line.substr(q + 1);
    if (!t.empty() && t.back() == '"')
        t.pop_back();
    return t;
}

// The answer time an Option1 click sets, in ms; 0: constant mode.
std::optional<std::int64_t> answerTimeOf(const std::string& command) {
    static constexpr std::int64_t kTimes[8] = {3000, 5000, 10000, 15000, 25000, 45000, 60000, 0};
    static constexpr std::string_view kHead = "click Option1(";
    if (!command.starts_with(kHead) || command.size() < kHead.size() + 2)
        return std::nullopt;
    const int i = command[kHead.size()] - '0';
    return i >= 0 && i < 8 ? std::optional(kTimes[i]) : std::nullopt;
}

} // namespace

const char* momentKindName(MomentKind k) {
    switch (k) {
    case MomentKind::Voice:
        return "voice";
    case MomentKind::Team:
        return "team";
    case MomentKind::Sound:
        break;
    }
    return "sound";
}

std::vector<std::int16_t> noiseFloor(const SoundAnalysis& a) {
    const std::size_t seconds = (a.level.size() + kFramesPerSecond - 1) / kFramesPerSecond;
    std::vector<std::int16_t> perSecond(seconds);
    for (std::size_t s = 0; s < seconds; ++s) {
        const auto from = a.level.begin() + std::ptrdiff_t(s * kFramesPerSecond);
        const auto to =
            a.level.begin() + std::ptrdiff_t(std::min(a.level.size(), (s + 1) * kFramesPerSecond));
        perSecond[s] = percentile(std::vector<std::int16_t>(from, to), 0.1);
    }
    std::vector<std::int16_t> floor(seconds);
    for (std::size_t s = 0; s < seconds; ++s) {
        const std::size_t lo = s > kFloorWindowSeconds ? s - kFloorWindowSeconds : 0;
        const std::size_t hi = std::min(seconds, s + kFloorWindowSeconds + 1);
        floor[s] = percentile(std::vector<std::int16_t>(perSecond.begin() + std::ptrdiff_t(lo),
                                                        perSecond.begin() + std::ptrdiff_t(hi)),
                              0.2);
    }
    return floor;
}

std::vector<Stretch> findStretches(const SoundAnalysis& a) {
    std::vector<Stretch> out;
    const std::vector<std::int16_t> floor = noiseFloor(a);
    auto floorAt = [&](std::size_t f) { return floor[f / kFramesPerSecond]; };
    auto active = [&](std::size_t f) { return a.level[f] >= floorAt(f) + kActiveDb * 100; };
    const double frameMs = a.frameMs();
    const auto join = std::size_t(double(kJoinMs) / frameMs);
    std::size_t f = 0;
    const std::size_t n = a.level.size();
    while (f < n) {
        if (!active(f)) {
            ++f;
            continue;
        }
        // The stretch runs on while the next active frame is near enough.
        std::size_t last = f, g = f + 1;
        while (g < n && g - last <= join + 1) {
            if (active(g))
                last = g;
            ++g;
        }
        std::vector<double> levels;
        std::size_t voiced = 0;
        for (std::size_t i = f; i <= last; ++i)
            if (active(i)) {
                levels.push_back(a.level[i] / 100.0);
                voiced += a.voice[i];
            }
        double mean = 0, var = 0;
        for (double l : levels)
            mean += l;
        mean /= double(levels.size());
        for (double l : levels)
            var += (l - mean) * (l - mean);
        const double spread = std::sqrt(var / double(levels.size()));
        std::vector<double> sorted = levels;
        std::sort(sorted.begin(), sorted.end());
        const double loud = sorted[std::size_t(0.9 * double(sorted.size() - 1))];
        Stretch s;
        s.fromMs = std::llround(double(f) * frameMs);
        s.toMs = std::llround(double(last + 1) * frameMs);
        const double length = double(s.toMs - s.fromMs);
        const double detected = double(voiced) / double(levels.size());
        const double filled = double(levels.size()) / double(last + 1 - f);
        // A voice swings with its syllables (a tone or a hum does not), fills
        // most of its stretch (clicks do not), and lasts a while.
        s.voice = detected * clamp01((spread - 1.5) / 3) * clamp01((filled - 0.2) / 0.3) *
                  clamp01((length - 150) / 250);
        s.overFloorDb = loud - floorAt(f) / 100.0;
        out.push_back(s);
        f = last + 1;
    }
    return out;
}

std::vector<TeamSpan> teamSpans(const std::vector<Event>& events) {
    std::vector<TeamSpan> out;
    std::int64_t answerMs = 5000;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.name == "action")
            answerMs = answerTimeOf(e.text).value_or(answerMs);
        if (e.name == "speech") {
            // As long as espeak-ng takes to say it, about 14 characters a
            // second, and a second's margin for the room's echo.
            const std::string said = spokenText(e.text);
            const auto ms = std::int64_t(500 + 75 * said.size());
            out.push_back({e.ms - 500, e.ms + std::min<std::int64_t>(ms, 20000) + 1000,
                           "speech output \"" + said + "\""});
        } else if (e.kind == EventKind::Question) {
            // Typed while it was read out, then its answer window.
            out.push_back({e.ms - 5000, e.ms + 1000, "typed question"});
            std::int64_t end = e.ms + (answerMs > 0 ? answerMs : 60000);
            for (std::size_t j = i + 1; j < events.size() && answerMs == 0; ++j)
                if (events[j].kind == EventKind::Question) {
                    end = std::min(end, events[j].ms);
                    break;
                }
            out.push_back({e.ms, end, "answer window"});
        }
    }
    return out;
}

std::vector<SensorJump> sensorJumps(const SessionModel& m) {
    std::vector<SensorJump> out;
    const std::pair<Series, const char*> watched[] = {{Series::Emf, "EMF"},
                                                      {Series::Temperature, "temperature"}};
    for (const auto& [series, what] : watched) {
        const std::vector<Point>& pts = m.series[std::size_t(series)];
        if (pts.empty())
            continue;
        const auto [lo, hi] =
            std::minmax_element(pts.begin(), pts.end(),
                                [](const Point& a, const Point& b) { return a.value < b.value; });
        // A step too small to matter on the night's own scale is no jump.
        const double least = (hi->value - lo->value) * 0.05;
        std::deque<double> recent;
        double sum = 0, sum2 = 0;
        std::deque<std::int64_t> times;
        std::int64_t lastJump = std::numeric_limits<std::int64_t>::min() / 2;
        for (const Point& p : pts) {
            while (!times.empty() && times.front() < p.ms - 60000) {
                sum -= recent.front();
                sum2 -= recent.front() * recent.front();
                recent.pop_front();
                times.pop_front();
            }
            if (recent.size() >= 10) {
                const double n = double(recent.size());
                const double mean = sum / n;
                const double sd = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
                if (std::abs(p.value - mean) > std::max(4 * sd, least) && least > 0 &&
                    p.ms - lastJump > 10000) {
                    out.push_back({p.ms, what});
                    lastJump = p.ms;
                }
            }
            recent.push_back(p.value);
            times.push_back(p.ms);
            sum += p.value;
            sum2 += p.value * p.value;
        }
    }
    std::sort(out.begin(), out.end(),
              [](const SensorJump& a, const SensorJump& b) { return a.ms < b.ms; });
    return out;
}

MomentContext momentContext(const SessionModel& m, const std::string& chosenWord) {
    MomentContext c;
    auto lower = [](std::string s) {
        for (char& ch : s)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        return s;
    };
    c.word = chosenWord;
    for (const Event& e : m.events) {
        if (e.kind == EventKind::Alarm)
            c.alarms.push_back(e.ms);
        if (e.kind == EventKind::Word && !chosenWord.empty() && lower(e.text) == lower(chosenWord))
            c.wordTimes.push_back(e.ms);
    }
    c.jumps = sensorJumps(m);
    c.team = teamSpans(m.events);
    return c;
}

namespace {

// How near `ms` lies to a stretch [from, to): 1 inside, falling off over
// half a minute; the words say before, during or after.
struct Near {
    double closeness = 0;
    std::string words;
};
Near nearness(std::int64_t at, std::int64_t from, std::int64_t to, const std::string& what) {
    Near n;
    const std::int64_t gap = at < from ? from - at : at > to ? at - to : 0;
    n.closeness = std::exp(-double(gap) / 30000.0);
    if (gap == 0)
        n.words = "during " + what;
    else if (at < from)
        n.words = seconds(double(gap) / 1000) + " after " + what;
    else
        n.words = seconds(double(gap) / 1000) + " before " + what;
    return n;
}

} // namespace

std::vector<Moment> recordingMoments(const Event& recording, const SoundAnalysis& a,
                                     const MomentContext& c) {
    std::vector<Moment> out;
    for (const Stretch& s : findStretches(a)) {
        Moment m;
        m.file = recording.file;
        m.offsetMs = s.fromMs;
        m.ms = recording.heardFromMs + s.fromMs;
        m.lengthMs = s.toMs - s.fromMs;
        m.voice = s.voice;
        m.overFloorDb = s.overFloorDb;
        const std::int64_t from = m.ms, to = m.ms + m.lengthMs;
        const TeamSpan* team = nullptr;
        for (const TeamSpan& t : c.team)
            if (t.fromMs < to && from < t.toMs) {
                team = &t;
                break;
            }
        const bool voice = s.voice >= kVoiceAt;
        m.kind = voice ? (team ? MomentKind::Team : MomentKind::Voice) : MomentKind::Sound;
        char b[96];
        std::snprintf(b, sizeof b, "voice %d %%", int(std::lround(s.voice * 100)));
        m.reasons.push_back(voice ? b : std::string("a sound, not a voice (") + b + ")");
        std::snprintf(b, sizeof b, "%.0f dB over the noise floor", s.overFloorDb);
        m.reasons.push_back(b);
        Near best;
        auto consider = [&](std::int64_t at, const std::string& what) {
            Near n = nearness(at, from, to, what);
            if (n.closeness > best.closeness)
                best = n;
        };
        for (std::int64_t t : c.alarms)
            consider(t, "an alarm");
        for (const SensorJump& j : c.jumps)
            consider(j.ms, "a jump of the " + j.what);
        for (std::int64_t t : c.wordTimes)
            consider(t, "the word \"" + c.word + "\"");
        if (best.closeness > 0.05)
            m.reasons.push_back(best.words);
        const double loud = clamp01((s.overFloorDb - kActiveDb) / 24);
        m.score = 0.5 * s.voice + 0.2 * loud + 0.3 * best.closeness;
        if (m.kind == MomentKind::Team) {
            // The team's own voice is kept in the list, below the others.
            m.score *= 0.4;
            m.reasons.push_back("the team: " + team->why);
        }
        m.score = clamp01(m.score);
        out.push_back(std::move(m));
    }
    return out;
}

void rankMoments(std::vector<Moment>& moments) {
    std::stable_sort(moments.begin(), moments.end(), [](const Moment& a, const Moment& b) {
        return a.score != b.score ? a.score > b.score : a.ms < b.ms;
    });
}

std::string momentLine(const Moment& m) {
    char b[64];
    std::snprintf(b, sizeof b, "\t%.2f\t", double(m.lengthMs) / 1000);
    std::string reasons;
    for (const std::string& r : m.reasons)
        reasons += (reasons.empty() ? "" : "; ") + r;
    // A tab or a line end in a name would break the line's columns.
    std::string file = m.file;
    for (char& ch : file)
        if (ch == '\t' || ch == '\n' || ch == '\r')
            ch = ' ';
    char score[16];
    std::snprintf(score, sizeof score, "%.2f", m.score);
    return momentTimeText(m.ms) + b + file + "\t" + score + "\t" + momentKindName(m.kind) + "\t" +
           reasons;
}

} // namespace kestle::review
