// SPDX-License-Identifier: GPL-3.0-or-later
// What the repair writes, worked out from the file's structure, and its tag
// text; the file operations are in avi_repair_file.cpp.
#include "capture/avi_repair.h"

#include "support/textfile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>

namespace kestle::capture {

namespace {

constexpr std::string_view kTagTitle = "Kestle AVI repair 1";
constexpr std::size_t kMaxTagBytes = 64 * 1024;
constexpr std::size_t kMaxReplaced = 64;
constexpr std::uint32_t kHasIndex = 0x10;
// Everything after the first 8 bytes must fit the RIFF size field.
constexpr std::uint64_t kMaxRiffFile = 0xFFFFFFFFull + 8;

std::string le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

std::string hex(std::string_view bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes)
        s += kDigits[c >> 4], s += kDigits[c & 15];
    return s;
}

std::optional<std::string> unhex(std::string_view h) {
    if (h.empty() || h.size() % 2 != 0)
        return std::nullopt;
    std::string s;
    for (std::size_t i = 0; i < h.size(); i += 2) {
        unsigned v = 0;
        const auto [end, ec] = std::from_chars(h.data() + i, h.data() + i + 2, v, 16);
        if (ec != std::errc{} || end != h.data() + i + 2)
            return std::nullopt;
        s += static_cast<char>(v);
    }
    return s;
}

std::optional<std::uint64_t> decimal(std::string_view t) {
    std::uint64_t v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc{} || end != t.data() + t.size())
        return std::nullopt;
    return v;
}

// A rewrite of the 32-bit field at `at`, when its value changes.
void rewrite(std::vector<ReplacedBytes>& out, std::uint64_t at, std::uint32_t was,
             std::uint32_t now) {
    if (was != now)
        out.push_back({at, le32(was), le32(now)});
}

bool bytesAre(AviSource& src, std::uint64_t at, const std::string& want) {
    std::string got(want.size(), '\0');
    return src.read(at, got.data(), got.size()) && got == want;
}

// A file with an index: repaired here before, or finished by its writer.
Result<AviRepairPlan> indexedPlan(AviSource& src, const AviLayout& a) {
    if (a.afterIndex.starts_with(kTagTitle)) {
        auto tag = parseRepairTag(a.afterIndex);
        if (tag && tag->repairedSize == a.fileSize &&
            std::all_of(tag->replaced.begin(), tag->replaced.end(),
                        [&](const ReplacedBytes& r) { return bytesAre(src, r.offset, r.after); })) {
            tag->outcome = AviRepair::Outcome::AlreadyRepaired;
            return AviRepairPlan{*tag, {}};
        }
    }
    // avimux writes an 'idx1' before the second RIFF part of a recording
    // over 1 GiB, and the header only when it finishes.
    if (std::uint64_t{a.riffSize} + 8 < *a.idx1At + 8 + a.idx1Size)
        return Error{a.moreParts ? "it has more than one RIFF part"
                                 : "it has an index, but its header was never finished"};
    AviRepair r;
    r.outcome = AviRepair::Outcome::AlreadyIndexed;
    r.recordedSize = r.repairedSize = a.fileSize;
    r.frames = a.avihTotalFrames;
    r.indexEntries = a.idx1Size / 16;
    return AviRepairPlan{r, {}};
}

std::string indexChunk(const AviLayout& a) {
    std::string idx = "idx1" + le32(static_cast<std::uint32_t>(a.chunks.size() * 16));
    idx.reserve(idx.size() + a.chunks.size() * 16);
    const std::uint64_t base = a.moviAt + 8; // offsets count from the 'movi' fourcc
    for (const AviChunk& c : a.chunks) {
        idx += static_cast<char>('0' + c.stream / 10);
        idx += static_cast<char>('0' + c.stream % 10);
        idx.append(c.type, 2);
        idx += le32(c.flags) + le32(static_cast<std::uint32_t>(c.at - base)) + le32(c.size);
    }
    return idx;
}

// The new length of a stream: frames, or for audio with a fixed sample
// size the samples.
std::uint32_t streamLength(const AviStream& s) {
    if (s.type == "auds" && s.sampleSize > 0)
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>(s.bytes / s.sampleSize, 0xFFFFFFFFu));
    return s.chunks;
}

} // namespace

bool AviRepair::sameAs(const AviRepair& o) const {
    return recordedSize == o.recordedSize && repairedSize == o.repairedSize && frames == o.frames &&
           indexEntries == o.indexEntries && tailBytes == o.tailBytes && replaced == o.replaced;
}

Result<AviRepairPlan> planAviRepair(AviSource& src, std::stop_token stop) {
    auto scanned = scanAvi(src, stop);
    if (!scanned)
        return Error{scanned.error()};
    const AviLayout& a = *scanned;
    if (a.idx1At)
        return indexedPlan(src, a);
    const auto video = std::find_if(a.streams.begin(), a.streams.end(),
                                    [](const AviStream& s) { return s.type == "vids"; });
    if (video == a.streams.end())
        return Error{"it has no video stream"};
    if (video->chunks == 0)
        return Error{"it has no whole frame"};

    AviRepairPlan plan;
    AviRepair& r = plan.repair;
    r.recordedSize = a.fileSize;
    r.frames = video->chunks;
    r.indexEntries = static_cast<std::uint32_t>(a.chunks.size());
    std::vector<ReplacedBytes> tail;
    std::uint64_t moviEnd = a.chunksEnd;
    if (a.tailAt < a.fileSize) {
        // The bytes after the last whole chunk become one JUNK chunk.
        const std::uint64_t t = a.fileSize - a.tailAt;
        const std::uint64_t junkBody = t >= 8 ? t - 8 : 0;
        if (junkBody > 0xFFFFFFFFu)
            return Error{"its last chunk is too large"};
        const std::string junk = "JUNK" + le32(static_cast<std::uint32_t>(junkBody));
        const std::size_t inFile = static_cast<std::size_t>(std::min<std::uint64_t>(t, 8));
        std::string before(inFile, '\0');
        if (!src.read(a.tailAt, before.data(), inFile))
            return Error{"it cannot be read"};
        tail.push_back({a.tailAt, before, junk.substr(0, inFile)});
        plan.appended = junk.substr(inFile) + std::string(junkBody & 1, '\0');
        r.tailBytes = t;
        moviEnd = a.tailAt + 8 + junkBody + (junkBody & 1);
    } else {
        plan.appended.assign(moviEnd - a.fileSize, '\0'); // a missing pad byte
    }
    const std::string idx = indexChunk(a);

    // The record holds the repaired size and so its own length: settle it.
    std::string record;
    for (int round = 0; round < 8; ++round) {
        const std::uint64_t size = moviEnd + idx.size() + 8 + record.size();
        if (size > kMaxRiffFile)
            return Error{"it would be larger than one RIFF part can be"};
        r.repairedSize = size;
        r.replaced.clear();
        rewrite(r.replaced, 4, a.riffSize, static_cast<std::uint32_t>(size - 8));
        rewrite(r.replaced, a.avihAt + 12, a.avihFlags, a.avihFlags | kHasIndex);
        rewrite(r.replaced, a.avihAt + 16, a.avihTotalFrames, video->chunks);
        for (const AviStream& s : a.streams)
            rewrite(r.replaced, s.lengthAt, s.length, streamLength(s));
        if (a.dmlhAt)
            rewrite(r.replaced, *a.dmlhAt, a.dmlhTotalFrames, video->chunks);
        rewrite(r.replaced, a.moviAt + 4, a.moviSize,
                static_cast<std::uint32_t>(moviEnd - a.moviAt - 8));
        r.replaced.insert(r.replaced.end(), tail.begin(), tail.end());
        std::sort(
            r.replaced.begin(), r.replaced.end(),
            [](const ReplacedBytes& x, const ReplacedBytes& y) { return x.offset < y.offset; });
        std::string text = repairTagText(r);
        if (text.size() % 2)
            text += '\n';
        if (text == record)
            break;
        record = std::move(text);
    }
    if (r.repairedSize != moviEnd + idx.size() + 8 + record.size())
        return Error{"its repair record does not settle"};
    plan.appended += idx + "JUNK" + le32(static_cast<std::uint32_t>(record.size())) + record;
    return plan;
}

std::string applyAviRepair(std::string_view recorded, const AviRepairPlan& plan) {
    std::string s(recorded);
    if (plan.repair.outcome != AviRepair::Outcome::Repaired)
        return s;
    s += plan.appended;
    for (const ReplacedBytes& r : plan.repair.replaced)
        s.replace(r.offset, r.after.size(), r.after);
    return s;
}

Result<std::string> restoreRecordedBytes(std::string_view repaired, const AviRepair& tag) {
    MemoryAviSource src(repaired);
    if (repaired.size() != tag.repairedSize ||
        !std::all_of(tag.replaced.begin(), tag.replaced.end(),
                     [&](const ReplacedBytes& r) { return bytesAre(src, r.offset, r.after); }))
        return Error{"it is not the repaired file its tag describes"};
    std::string s(repaired.substr(0, tag.recordedSize));
    for (const ReplacedBytes& r : tag.replaced)
        s.replace(r.offset, r.before.size(), r.before);
    return s;
}

std::string repairTagText(const AviRepair& r) {
    std::string s = std::string(kTagTitle) + "\n";
    s += "Recorded-Size: " + std::to_string(r.recordedSize) + "\n";
    s += "Repaired-Size: " + std::to_string(r.repairedSize) + "\n";
    s += "Frames: " + std::to_string(r.frames) + "\n";
    s += "Index-Entries: " + std::to_string(r.indexEntries) + "\n";
    s += "Unindexed-Tail: " + std::to_string(r.tailBytes) + "\n";
    for (const ReplacedBytes& b : r.replaced)
        s += "Replaced: " + std::to_string(b.offset) + " " + hex(b.before) + " " + hex(b.after) +
             "\n";
    return s;
}

Result<AviRepair> parseRepairTag(std::string_view text) {
    const Error bad{"not a repair tag"};
    if (text.size() > kMaxTagBytes)
        return bad;
    const std::vector<std::string> lines = splitLines(text);
    static const char* const kKeys[] = {
        "Recorded-Size: ", "Repaired-Size: ", "Frames: ", "Index-Entries: ", "Unindexed-Tail: "};
    if (lines.size() < 6 || lines[0] != kTagTitle)
        return bad;
    std::uint64_t v[5] = {};
    for (std::size_t i = 0; i < 5; ++i) {
        const std::string_view line = lines[i + 1];
        const auto n =
            line.starts_with(kKeys[i]) ? decimal(line.substr(std::strlen(kKeys[i]))) : std::nullopt;
        if (!n)
            return bad;
        v[i] = *n;
    }
    AviRepair r;
    r.recordedSize = v[0], r.repairedSize = v[1], r.tailBytes = v[4];
    if (v[1] < v[0] || v[1] > kMaxRiffFile || v[2] > 0xFFFFFFFFu || v[3] > 0xFFFFFFFFu ||
        v[4] > v[0])
        return bad;
    r.frames = static_cast<std::uint32_t>(v[2]);
    r.indexEntries = static_cast<std::uint32_t>(v[3]);
    std::size_t i = 6;
    for (; i < lines.size() && lines[i].starts_with("Replaced: "); ++i) {
        const std::string_view line = std::string_view(lines[i]).substr(10);
        const std::size_t a = line.find(' '), b = line.find(' ', a + 1);
        if (a == std::string_view::npos || b == std::string_view::npos ||
            r.replaced.size() >= kMaxReplaced)
            return bad;
        const auto at = decimal(line.substr(0, a));
        const auto before = unhex(line.substr(a + 1, b - a - 1));
        const auto after = unhex(line.substr(b + 1));
        const std::uint64_t prevEnd =
            r.replaced.empty() ? 0 : r.replaced.back().offset + r.replaced.back().before.size();
        if (!at || !before || !after || before->size() != after->size() || before->size() > 8 ||
            *at < prevEnd || *at > r.recordedSize || before->size() > r.recordedSize - *at)
            return bad;
        r.replaced.push_back({*at, *before, *after});
    }
    for (; i < lines.size(); ++i)
        if (!lines[i].empty())
            return bad;
    return r;
}

std::string repairDescription(const AviRepair& r, std::string_view name) {
    std::string s(name);
    if (r.outcome == AviRepair::Outcome::AlreadyIndexed)
        return s + ": already indexed, left as recorded";
    s += ": " + std::to_string(r.frames) + (r.frames == 1 ? " frame" : " frames") +
         " indexed, header sizes rewritten";
    if (r.tailBytes > 0)
        s += ", the last " + std::to_string(r.tailBytes) +
             " bytes (not a whole chunk) kept unindexed";
    return s;
}

} // namespace kestle::capture
