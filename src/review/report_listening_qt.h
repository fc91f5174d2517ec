// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report's page on listening (Qt glue): how much of the night's sound
// was heard and by whom (from the review ledger beside the bag), and each
// moment kept, with its spectrogram and its note. Nothing when the night
// has no sound recording. Starts a new page; the caller's thread.
#include "review/session_model.h"

class QPainter;
class QPdfWriter;

namespace kestle::review {

void drawListeningPages(QPdfWriter& w, QPainter& p, const SessionModel& m);

} // namespace kestle::review
