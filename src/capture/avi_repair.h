// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Repairs an AVI that avimux never finished (the program was killed, or the
// disk filled up): its header says 0 frames, its 'movi' list is 4 bytes
// long and it has no 'idx1', so most players cannot seek it and ffprobe
// gives it no duration, although the frames are all there.
//
// What the repair writes. The recorded bytes stay where they are; only
// header fields are rewritten: the RIFF size, the 'avih' flags (has an
// index) and total frames, each 'strh' length, the 'dmlh' total frames and
// the 'movi' size. Appended at the end: an 'idx1' of the chunks present and
// a JUNK chunk that holds the repair's record (the text of repairTagText),
// so that a repaired file tells what was changed even when the caller died
// before keeping the tag.
//
// A last chunk cut off by the kill or the full disk (or bytes after the
// last whole chunk that are not a chunk at all) is not indexed: its 8-byte
// chunk header is rewritten as a JUNK header that covers exactly the bytes
// that are there (a few bytes appended when not even the 8 bytes were
// there, and a pad byte when needed). That is the only rewrite outside the
// file's first kilobyte; the cut-off frame's bytes stay, inside JUNK, which
// every RIFF reader skips, the 'movi' list ends after it and 'idx1' follows
// at once (where GStreamer looks for it). Padding the frame to its stated
// size instead would append up to a frame of zeros on a disk that was just
// full, and leave a broken picture for readers that scan.
//
// Order of the writes in place, so that a kill at any moment leaves the file
// no worse and the next call finishes the job: (1) the repair's tag text is
// written, synced, to a hidden journal beside the file (aviRepairJournal),
// (2) the appended bytes, synced, (3) the header fields, synced, (4) the
// journal is removed. Until (3) the header is the recorded one, so the file
// plays as before. A call that finds a journal first puts the file back as
// recorded (truncates it to its recorded size, writes the recorded header
// bytes back) and then repairs it again.
//
// Hard links: a file with other links (a sealed bag's copy, say) is by
// default not changed in place; a repaired copy is made beside it (hidden
// name ".NAME.repair-copy") and renamed over this name, so the other links
// keep the recorded bytes. That needs room for the whole file;
// OtherLinks::Repair repairs in place instead, for links the caller knows to
// be its own (a bag not yet sealed). The journal and the copy lie beside
// the file, so repair a capture in the data folder, not inside a bag's
// payload folder.
//
// Threads: any; every call is synchronous and does blocking file I/O, so
// never on the window thread. Calls share no state; two calls on one file
// exclude each other (flock; the later one fails at once). The caller makes
// sure that nothing still records into the file.
//
// Limits: the file is opened without following a symlink, must be a regular
// file of at most 4 GiB with at most kMaxIndexedChunks chunks in one RIFF
// part; a recording killed after avimux began its second part (past 1 GiB),
// frames in 'rec ' lists, a damaged header or anything else is an error and
// the file is left as it is. The scan and a copy are stoppable (std::stop_token); once the
// writes begin they are finished (a few kilobytes).
#include "capture/avi_repair_scan.h"
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace kestle::capture {

// One header field the repair rewrote: where, and its bytes before and
// after (same length, at most 8 bytes, all inside the recorded size).
struct ReplacedBytes {
    std::uint64_t offset = 0;
    std::string before, after;
    bool operator==(const ReplacedBytes&) const = default;
};

struct AviRepair {
    enum class Outcome {
        Repaired,        // this call repaired it
        AlreadyRepaired, // repaired before; the figures come from its record
        AlreadyIndexed,  // finished by its writer: left alone, nothing below
    };
    Outcome outcome = Outcome::Repaired;
    std::uint64_t recordedSize = 0;      // the file as recorded
    std::uint64_t repairedSize = 0;      // with the appended bytes
    std::uint32_t frames = 0;            // video frames indexed (the first video stream)
    std::uint32_t indexEntries = 0;      // 'idx1' entries, all streams
    std::uint64_t tailBytes = 0;         // bytes after the last whole chunk, kept unindexed
    std::vector<ReplacedBytes> replaced; // in ascending offsets
    // Equal repairs: the outcome aside.
    bool sameAs(const AviRepair& o) const;
};

struct AviRepairOptions {
    enum class OtherLinks { Keep, Repair };
    OtherLinks otherLinks = OtherLinks::Keep;
    std::stop_token stop;
};

// Repairs `avi` (see above). The result says what was done; an error names
// the file and the reason ("... is not an AVI file", "... has no whole frame",
// "... No space left on device"), and then the file is as it was.
Result<AviRepair> repairAvi(const std::filesystem::path& avi, const AviRepairOptions& options = {});

// The small text of a repair (Repaired or AlreadyRepaired), to keep as a tag
// file: the recorded and repaired sizes, the figures, and one line
// "Replaced: OFFSET BEFORE AFTER" (hex bytes) per rewritten field.
std::string repairTagText(const AviRepair& repair);
// Reads that text back; an error for anything else (strict and bounded).
Result<AviRepair> parseRepairTag(std::string_view text);

// Writes the file as recorded to `out` (replaced if it exists, through a
// temporary file beside it), from the repaired file and its tag; `repaired`
// is only read. Fails, writing nothing, when `repaired` is not the file the
// tag describes (its size or its rewritten bytes differ).
Status restoreOriginal(const std::filesystem::path& repaired, const AviRepair& tag,
                       const std::filesystem::path& out);

// The line for bag-info.txt: "data/captures/x.AVI: 212 frames indexed,
// header sizes rewritten", with what was left unindexed, or "...: already
// indexed, left as recorded".
std::string repairDescription(const AviRepair& repair, std::string_view name);

// The hidden journal an unfinished in-place repair of `avi` leaves beside it.
std::filesystem::path aviRepairJournal(const std::filesystem::path& avi);

// The same repair on bytes in memory, for checks and the fuzz target: what
// would be written (nothing is), and the bytes before and after.
struct AviRepairPlan {
    AviRepair repair;
    std::string appended; // written at repair.recordedSize
};
Result<AviRepairPlan> planAviRepair(AviSource& src, std::stop_token stop = {});
std::string applyAviRepair(std::string_view recorded, const AviRepairPlan& plan);
Result<std::string> restoreRecordedBytes(std::string_view repaired, const AviRepair& tag);

} // namespace kestle::capture
