// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/moment_bag.h"

#include "evidence/bagit.h"
#include "evidence/digest.h"
#include "evidence/replay_plan.h"
#include "review/bag_sound.h"
#include "review/moments.h"
#include "review/review_ledger.h"
#include "review/sound_analysis.h"
#include "review/sound_cache.h"
#include "review/spectrogram.h"
#include "review/spectrogram_image_qt.h"
#include "review/time_text.h"
#include "support/textfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

namespace kestle::review {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kMaxTextBytes = 1ull << 31;
constexpr std::size_t kCopyBlock = 1 << 20;

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void put(std::string& s, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

// The 44-byte header of the PCM samples of `w`'s kind.
std::string pcmHeader(const WavLayout& w, std::uint64_t dataBytes) {
    std::string h = "RIFF";
    put(h, 36 + dataBytes, 4);
    h += "WAVEfmt ";
    put(h, 16, 4);
    put(h, 1, 2);
    put(h, std::uint64_t(w.channels), 2);
    put(h, std::uint64_t(w.rate), 4);
    put(h, std::uint64_t(w.rate) * std::uint64_t(w.frameBytes()), 4);
    put(h, std::uint64_t(w.frameBytes()), 2);
    put(h, std::uint64_t(w.bits), 2);
    h += "data";
    put(h, dataBytes, 4);
    return h;
}

Status copyRange(const BagFile& from, std::uint64_t a, std::uint64_t b, std::ofstream& to) {
    for (std::uint64_t at = a; at < b;) {
        auto bytes = from.read(at, std::size_t(std::min<std::uint64_t>(kCopyBlock, b - at)));
        if (!bytes)
            return Error{bytes.error()};
        if (bytes->empty())
            return Error{from.name() + " ends early"};
        to.write(bytes->data(), std::streamsize(bytes->size()));
        at += bytes->size();
    }
    return to ? Status{} : Status{Error{"a file of the moment cannot be written"}};
}

Result<std::string> bagText(const fs::path& bag, const std::string& file) {
    auto f = openBagFile(bag, file, kMaxTextBytes);
    if (!f)
        return Error{f.error()};
    return f->read(0, std::size_t(f->size()));
}

// The log's header lines and its rows of the seconds [from, to].
std::string logPart(const std::string& text, const LocalDateTime& start, std::int64_t fromS,
                    std::int64_t toS) {
    const bool dayFirst = logDayFirst(text, start);
    std::string out;
    bool rows = false;
    for (const std::string& line : splitLines(text)) {
        const auto comma = line.find(',');
        const auto when = parseGeneralDate(line.substr(0, comma), dayFirst);
        if (!when) {
            if (!rows)
                out += line + "\r\n";
            continue;
        }
        rows = true;
        const std::int64_t s = toEpochSeconds(*when);
        if (s >= fromS && s <= toS)
            out += line + "\r\n";
    }
    return out;
}

struct Cut {
    std::string parent, cut, sha256, bytes, samples;
};

// The span of session time a video recording runs: to its own end where the
// journal tells it, else its stop, or the next video recording, or the
// session's end.
std::int64_t videoEnd(const SessionModel& m, std::size_t i) {
    for (std::size_t j = i + 1; j < m.events.size(); ++j) {
        const Event& n = m.events[j];
        if ((n.name == "recording" && n.kind != EventKind::Recording &&
             n.detail == m.events[i].detail) ||
            (n.name == "capture" && n.text == "Video.Stop") ||
            (n.kind == EventKind::Recording && !n.file.ends_with(".wav")))
            return n.ms;
    }
    return m.endMs;
}

} // namespace

Status exportMoment(const SessionModel& m, std::int64_t startMs, std::int64_t lengthMs,
                    const fs::path& out, const std::string& baggingDate) {
    if (lengthMs <= 0)
        return Error{"a moment needs a length"};
    std::error_code ec;
    if (fs::exists(fs::symlink_status(out, ec)))
        return Error{out.string() + " exists already: a moment bag is always a new folder"};
    const std::int64_t endMs = startMs + lengthMs;
    auto digest = bagDigest(m.folder);
    if (!digest)
        return Error{"the parent bag has no tag manifest to name it by: " + digest.error()};
    if (!fs::create_directories(out / "data" / "captures", ec) || ec)
        return Error{out.string() + " cannot be made: " + ec.message()};
    auto fail = [&out](const std::string& why) {
        std::error_code e;
        fs::remove_all(out, e);
        return Error{why};
    };

    std::vector<Cut> cuts;
    std::string sound, video;
    for (std::size_t i = 0; i < m.events.size(); ++i) {
        const Event& e = m.events[i];
        if (e.kind != EventKind::Recording || e.file.empty())
            continue;
        const std::string target = "data/captures/" + baseName(e.file);
        if (e.file.ends_with(".wav")) {
            if (e.heardFromMs >= endMs || e.heardFromMs + e.durationMs <= startMs)
                continue;
            auto src = openBagSound(m.folder, e.file);
            if (!src)
                return fail(src.error());
            const WavLayout& w = (*src)->layout();
            auto sampleAt = [&](std::int64_t ms) {
                const double s = double(ms - e.heardFromMs) * w.rate / 1000.0;
                return std::uint64_t(std::clamp(std::llround(s), 0ll, (long long)w.frames()));
            };
            const std::uint64_t a = sampleAt(startMs), b = sampleAt(endMs);
            if (b <= a)
                continue;
            const std::uint64_t fb = std::uint64_t(w.frameBytes());
            const std::uint64_t from = w.dataOffset + a * fb, to = w.dataOffset + b * fb;
            std::ofstream f(out / target, std::ios::binary);
            f << pcmHeader(w, to - from);
            if (Status s = copyRange((*src)->file(), from, to, f); !s)
                return fail(s.error());
            f.close();
            cuts.push_back({e.file, target, manifestDigest(m, e.file),
                            std::to_string(from) + "-" + std::to_string(to),
                            std::to_string(a) + "-" + std::to_string(b)});
            // Its spectrogram, from the cut itself.
            auto cut = openBagSound(out, target);
            if (!cut)
                return fail(cut.error());
            auto detail = detailSpectrogram(**cut, 0, (*cut)->frames());
            auto analysis = analyseSound(**cut);
            if (!detail || !analysis)
                return fail("the spectrogram of " + target + " cannot be made");
            const auto floor = noiseFloor(*analysis);
            const double floorDb = floor.empty() ? -90 : floor[0] / 100.0;
            if (Status s = writeSpectrogramPng(
                    *detail, floorDb, out / "data" / ("spectrogram-" + baseName(e.file) + ".png"));
                !s)
                return fail(s.error());
            char line[256];
            std::snprintf(line, sizeof line, "samples %llu to %llu of %d per second, ",
                          (unsigned long long)a, (unsigned long long)b, w.rate);
            sound += "  " + target + ": " + line + "bytes " + std::to_string(from) + " to " +
                     std::to_string(to) + " of " + e.file + ", cut at sample precision\n";
        } else {
            if (e.ms >= endMs || videoEnd(m, i) <= startMs)
                continue;
            auto src = openBagFile(m.folder, e.file);
            if (!src)
                return fail(src.error());
            std::ofstream f(out / target, std::ios::binary);
            if (Status s = copyRange(*src, 0, src->size(), f); !s)
                return fail(s.error());
            cuts.push_back({e.file, target, manifestDigest(m, e.file), "whole", ""});
            video += "  " + target + ": " + e.file +
                     " kept whole: a video cannot be cut without re-encoding it\n";
        }
    }

    // The logs' rows and the journal's lines of that time.
    const std::int64_t fromS = startMs / 1000, toS = (endMs - 1) / 1000;
    bool logs = false;
    for (const FileEntry& f : m.files) {
        if (f.tag || !f.path.starts_with("data/logs/"))
            continue;
        auto text = bagText(m.folder, f.path);
        if (!text)
            return fail(text.error());
        if (!logs)
            fs::create_directories(out / "data" / "logs", ec);
        logs = true;
        std::ofstream(out / f.path, std::ios::binary) << logPart(*text, m.start, fromS, toS);
    }
    if (auto journal = bagText(m.folder, "data/journal.jsonl")) {
        std::string part;
        for (const std::string& line : splitLines(*journal)) {
            const auto t = evidence::journalField(line, "t");
            const std::int64_t at = t ? m.startMs + std::strtoll(t->c_str(), nullptr, 10) : -1;
            if (t && at >= startMs && at < endMs)
                part += line + "\n";
        }
        std::ofstream(out / "data" / "journal.jsonl", std::ios::binary) << part;
    }

    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", double(lengthMs) / 1000);
    std::string text = "A moment of the session " + m.name + ": " + seconds + " s from " +
                       momentTimeText(startMs) + " to " + momentTimeText(endMs) + ".\n" +
                       "Taken from the sealed bag \"" + m.name +
                       "\", whose tagmanifest-sha256.txt has the SHA-256 " + *digest + ".\n\n";
    text +=
        "Sound:\n" + (sound.empty() ? std::string("  (no sound recording covers it)\n") : sound);
    text +=
        "Video:\n" + (video.empty() ? std::string("  (no video recording covers it)\n") : video);
    text +=
        "Logs: the header lines and the rows of these seconds of each log (data/logs).\n"
        "Journal: the journal's lines of this time (data/journal.jsonl).\n"
        "Pictures: the spectrogram of each cut sound recording (data/spectrogram-*.png).\n\n"
        "bag-info.txt names the parent file of each cut, its SHA-256 and the byte range it\n"
        "came from: kestle --verify THIS --parent PARENT checks that each cut is the original's.\n";
    std::ofstream(out / "data" / "moment.txt", std::ios::binary) << text;

    evidence::BagInfo info = {{"External-Description", "A moment of the session " + m.name},
                              {"Parent-Bag", m.name},
                              {"Parent-Tagmanifest-SHA256", *digest},
                              {"Moment-Start", momentTimeText(startMs)},
                              {"Moment-Seconds", seconds}};
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const std::string n = "Parent-File-" + std::to_string(i + 1);
        info.emplace_back(n, cuts[i].parent);
        info.emplace_back(n + "-Cut", cuts[i].cut);
        info.emplace_back(n + "-SHA256", cuts[i].sha256);
        info.emplace_back(n + "-Bytes", cuts[i].bytes);
        if (!cuts[i].samples.empty())
            info.emplace_back(n + "-Samples", cuts[i].samples);
    }
    if (Status s = evidence::sealBag(out, info, baggingDate); !s)
        return fail(s.error());
    return {};
}

std::vector<std::string> verifyMomentParent(const fs::path& moment, const fs::path& parent) {
    std::vector<std::string> problems;
    auto infoText = bagText(moment, "bag-info.txt");
    if (!infoText)
        return {infoText.error()};
    std::map<std::string, std::string> info;
    for (auto& [k, v] : evidence::parseBagInfo(*infoText))
        info[k] = v;
    if (!info.count("Parent-Tagmanifest-SHA256"))
        return {"bag-info.txt names no parent bag: this is not a moment bag"};
    auto digest = bagDigest(parent);
    if (!digest)
        return {digest.error()};
    if (*digest != info["Parent-Tagmanifest-SHA256"])
        problems.push_back("the parent's tagmanifest-sha256.txt has the SHA-256 " + *digest +
                           ", not the " + info["Parent-Tagmanifest-SHA256"] + " the moment names");
    std::map<std::string, std::string> manifest;
    if (auto m = bagText(parent, "manifest-sha256.txt"))
        if (auto lines = evidence::parseManifest(*m))
            for (const auto& l : *lines)
                manifest[l.path] = l.sha256;
    for (int i = 1; info.count("Parent-File-" + std::to_string(i)); ++i) {
        const std::string n = "Parent-File-" + std::to_string(i);
        const std::string file = info[n], cut = info[n + "-Cut"], sha = info[n + "-SHA256"],
                          range = info[n + "-Bytes"];
        if (manifest[file] != sha) {
            problems.push_back(file + ": the parent's manifest gives another SHA-256");
            continue;
        }
        auto original = openBagFile(parent, file);
        auto copy = openBagFile(moment, cut);
        if (!original || !copy) {
            problems.push_back(!original ? original.error() : copy.error());
            continue;
        }
        if (auto actual = original->sha256(); !actual || *actual != sha) {
            problems.push_back(file + ": the parent's file has changed since the moment was cut");
            continue;
        }
        std::uint64_t a = 0, b = original->size(), c = 0;
        if (range != "whole") {
            const auto dash = range.find('-');
            a = std::strtoull(range.substr(0, dash).c_str(), nullptr, 10);
            b = dash == std::string::npos
                    ? 0
                    : std::strtoull(range.substr(dash + 1).c_str(), nullptr, 10);
            auto head = copy->read(0, std::size_t(std::min<std::uint64_t>(copy->size(), 65536)));
            auto layout =
                head ? parseWavLayout(*head, copy->size()) : Result<WavLayout>(Error{head.error()});
            if (!layout || b < a || b > original->size() || layout->dataBytes != b - a) {
                problems.push_back(cut + ": its samples are not the byte range " + range + " of " +
                                   file);
                continue;
            }
            c = layout->dataOffset;
        } else if (copy->size() != original->size()) {
            problems.push_back(cut + ": not the whole of " + file);
            continue;
        }
        for (std::uint64_t at = 0; at < b - a; at += kCopyBlock) {
            const std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyBlock, b - a - at));
            auto x = original->read(a + at, n);
            auto y = copy->read(c + at, n);
            if (!x || !y || *x != *y) {
                problems.push_back(cut + ": its bytes differ from the range " + range + " of " +
                                   file);
                break;
            }
        }
    }
    return problems;
}

} // namespace kestle::review
