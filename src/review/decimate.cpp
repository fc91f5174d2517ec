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
