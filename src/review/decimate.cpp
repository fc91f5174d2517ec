// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/decimate.h"

#include <algorithm>

namespace kestle::review {

std::vector<Point> decimate(const std::vector<Point>& all, std::int64_t from, std::int64_t to,
                            int buckets) {
    std::vector<Point> out;
    if (all.empty() || to <= from || buckets < 1)
        return out;
    auto byTime = [](const Point& p, std::int64_t t) { return p.ms < t; };
    auto first = std::lower_bound(all.begin(), all.end(), from, byTime);
    auto last = std::upper_bound(all.begin(), all.end(), to,
                                 [](std::int64_t t, const Point& p) { return t < p.ms; });
    if (first != all.begin())
        --first;
    if (last != all.end())
        ++last;
    const auto count = last - first;
    if (count <= 4 * buckets) {
        out.assign(first, last);
        return out;
    }
    const double span = double(to - from) / buckets;
    auto it = first;
    while (it != last) {
        // The bucket of this point, and the points that share it.
        const auto b =
            static_cast<std::int64_t>(std::clamp((it->ms - from) / span, -1.0, double(buckets)));
        auto end = it;
        auto lo = it, hi = it;
        while (end != last && static_cast<std::int64_t>(std::clamp((end->ms - from) / span, -1.0,
                                                                   double(buckets))) == b) {
            if (end->value < lo->value)
                lo = end;
            if (end->value > hi->value)
                hi = end;
            ++end;
        }
        const auto lastIn = end - 1;
        auto pushed = last;
        for (auto p : {it, std::min(lo, hi), std::max(lo, hi), lastIn})
            if (p != pushed) {
                out.push_back(*p);
                pushed = p;
            }
        it = end;
    }
    return out;
}

std::vector<std::vector<Point>> splitAtGaps(const std::vector<Point>& drawn,
                                            const std::vector<Point>& all, std::int64_t gapMs) {
    std::vector<std::vector<Point>> runs;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        bool gap = runs.empty();
        if (!gap && drawn[i].ms - drawn[i - 1].ms >= gapMs) {
            // No reading between them: the next one after the first is the second.
            auto next = std::upper_bound(all.begin(), all.end(), drawn[i - 1].ms,
                                         [](std::int64_t t, const Point& p) { return t < p.ms; });
            gap = next == all.end() || next->ms >= drawn[i].ms;
        }
        if (gap)
            runs.emplace_back();
        runs.back().push_back(drawn[i]);
    }
    return runs;
}

std::pair<double, double> shownRange(const std::vector<std::vector<Point>>& runs, std::int64_t from,
                                     std::int64_t to) {
    std::vector<Point> shown;
    for (const auto& run : runs)
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (run[i].ms >= from && run[i].ms <= to)
                shown.push_back(run[i]);
            if (i == 0)
                continue;
            const Point& a = run[i - 1];
            const Point& b = run[i];
            for (std::int64_t edge : {from, to})
                if (a.ms < edge && edge < b.ms)
                    shown.push_back({edge, a.value + (b.value - a.value) * double(edge - a.ms) /
                                                         double(b.ms - a.ms)});
        }
    return valueRange(shown);
}

std::pair<double, double> valueRange(const std::vector<Point>& points) {
    if (points.empty())
        return {0, 1};
    auto [lo, hi] =
        std::minmax_element(points.begin(), points.end(),
                            [](const Point& a, const Point& b) { return a.value < b.value; });
    const double a = lo->value, b = hi->value;
    if (b - a < 1e-9)
        return {a - 1, b + 1};
    const double m = (b - a) * 0.05;
    return {a - m, b + m};
}

} // namespace kestle::review
