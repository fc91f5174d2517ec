// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A moment handed over as evidence: a new sealed BagIt bag holding the
// stretch [start, start + seconds) of a session's bag:
//   data/captures/NAME   each sound recording that covers it, cut at
//                        sample precision (a WAV of those samples), and
//                        each video recording that covers it, kept whole
//                        (an AVI cannot be cut without re-encoding);
//   data/logs/NAME.csv   each log's header lines and its rows of those seconds;
//   data/journal.jsonl   the journal's lines of that time;
//   data/spectrogram-NAME.png  each cut recording's spectrogram;
//   data/moment.txt      what it is, in words.
// bag-info.txt names the parent ("Parent-Bag", its folder name;
// "Parent-Tagmanifest-SHA256") and each cut file: "Parent-File-N" (its path
// in the parent), "Parent-File-N-Cut" (its path here), "Parent-File-N-SHA256"
// (the parent file's digest), "Parent-File-N-Bytes" ("FROM-TO", the byte
// range of the parent its samples are, or "whole") and for sound
// "Parent-File-N-Samples" ("FROM-TO"). Anyone holding the parent can
// check with verifyMomentParent() that each cut is the original's.
// Synchronous; any thread.
#include "review/session_model.h"
#include "support/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestle::review {

// `out` must not exist yet (it is made); `model` is the parent as read by
// loadSession. `baggingDate` as sealBag takes it.
Status exportMoment(const SessionModel& model, std::int64_t startMs, std::int64_t lengthMs,
                    const std::filesystem::path& out, const std::string& baggingDate);

// The problems of the moment bag's link to `parent`: a parent whose tag
// manifest is not the one named, a parent file missing or changed, a cut
// whose bytes are not the parent's. Empty: every cut is the original's.
// (The moment bag's own checksums are verifyBag's.)
std::vector<std::string> verifyMomentParent(const std::filesystem::path& moment,
                                            const std::filesystem::path& parent);

} // namespace kestle::review
