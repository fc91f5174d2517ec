// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/word_list_ops.h"

#include "support/cp1252.h"

#include <cstddef>
#include <utility>

namespace kestle::ecm {

std::vector<int> shuffleOrder(int count, Rnd& rnd) {
    if (count <= 0) {
        return {};
    }
    const int n = count - 1;
    std::vector<int> order(static_cast<std::size_t>(count), 0);
    if (count > kClassicShuffleLimit) {
        for (int k = 0; k < n; ++k)
            order[static_cast<std::size_t>(k)] = k + 1;
        for (int k = n - 1; k > 0; --k) {
            // 48 bits from two draws, enough to reach every position.
            const double hi = rnd.next();
            const double u = hi + rnd.next() / 16777216.0;
            const auto j = static_cast<std::size_t>(u * (k + 1));
            std::swap(order[static_cast<std::size_t>(k)], order[j]);
        }
        return order;
    }
    // The classic form scans the whole order array for r. Its unfilled slots
    // hold 0 and r is never 0, so a set of the values stored so far gives the
    // same redraws without the quadratic scan.
    std::vector<bool> used(static_cast<std::size_t>(count), false);
    for (int k = 0; k < n; ++k) {
        int r;
        do {
            r = static_cast<int>(n * rnd.next() + 1.0);
        } while (used[static_cast<std::size_t>(r)]);
        used[static_cast<std::size_t>(r)] = true;
        order[static_cast<std::size_t>(k)] = r;
    }
    return order;
}

std::vector<std::string> shuffled(const std::vector<std::string>& list, Rnd& rnd) {
    const auto order = shuffleOrder(static_cast<int>(list.size()), rnd);
    std::vector<std::string> out;
    out.reserve(list.size());
    for (int from : order) {
        out.push_back(list[static_cast<std::size_t>(from)]);
    }
    return out;
}

std::vector<std::string> parseUserList(std::string_view fileBytes) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (fileBytes.starts_with(bom)) {
        fileBytes.remove_prefix(bom.size());
    }
    // Decoding first is safe: neither encoding puts CR or LF bytes inside a
    // character, so the line ends survive unchanged.
    const std::string text =
        isValidUtf8(fileBytes) ? std::string(fileBytes) : cp1252ToUtf8(fileBytes);

    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        const bool last = lf == std::string::npos;
        std::size_t end = last ? text.size() : lf;
        if (!last && end > start && text[end - 1] == '\r') {
            --end;
        }
        entries.push_back(text.substr(start, end - start) + " ");
        if (last) {
            break;
        }
        start = lf + 1;
    }
    return entries;
}

} // namespace kestle::ecm
