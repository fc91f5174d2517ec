// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fewer points that draw the same line: a night holds hundreds of
// thousands of readings, a plot a few thousand pixels. Pure; any thread.
#include "review/session_model.h"

#include <utility>
#include <vector>

namespace kestle::review {

// The points of `all` (in time order) from `from` to `to` (ms), at most
// about 2 x `buckets` + 2: the first and the last of each of `buckets`
// equal spans, and each span's lowest and highest, in time order, so that
// no peak is lost. The nearest point on either side of the span is kept,
// so that the line runs to the edges.
std::vector<Point> decimate(const std::vector<Point>& all, std::int64_t from, std::int64_t to,
                            int buckets);

// A time this long without readings breaks a plot's line: the log has a
// row every second or more often while readings come.
inline constexpr std::int64_t kNoReadingsMs = 5000;

// `drawn` (points of decimate(all, ...)) in runs, broken between two points
// `gapMs` or more apart with no reading of `all` between them: a line is
// never drawn across a time without readings.
std::vector<std::vector<Point>> splitAtGaps(const std::vector<Point>& drawn,
                                            const std::vector<Point>& all,
                                            std::int64_t gapMs = kNoReadingsMs);

// The value range a plot from `from` to `to` shows its `runs` on (as
// valueRange): of the points in that span and of where the lines cross its
// edges, so that no line runs off the plot.
std::pair<double, double> shownRange(const std::vector<std::vector<Point>>& runs, std::int64_t from,
                                     std::int64_t to);

// The value range to show `points` on: their lowest and highest with a
// margin of 5 % (a flat line gets +/- 1); {0, 1} when there are none.
std::pair<double, double> valueRange(const std::vector<Point>& points);

} // namespace kestle::review
