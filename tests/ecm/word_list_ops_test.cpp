// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/default_words.h"
#include "ecm/word_list_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestle::ecm {
namespace {

// The shuffle as first written: scan the whole order array for each draw.
std::vector<int> scanningOrder(int count, Rnd& rnd) {
    const int n = count - 1;
    std::vector<int> order(count, 0);
    for (int k = 0; k < n; ++k) {
        bool stored;
        int r;
        do {
            r = static_cast<int>(n * rnd.next() + 1);
            stored = false;
            for (int i = 0; i <= n; ++i) {
                if (order[i] == r) {
                    stored = true;
                }
            }
        } while (stored);
        order[k] = r;
    }
    return order;
}

std::vector<std::string> sortedCopy(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(Shuffle, MatchesTheScanningAlgorithmDrawForDraw) {
    for (int count : {2, 3, 17, 2050}) {
        Rnd mine, reference;
        // Start somewhere other than the fresh state as well.
        for (int i = 0; i < count; ++i) {
            mine.next();
            reference.next();
        }
        EXPECT_EQ(shuffleOrder(count, mine), scanningOrder(count, reference)) << count;
        EXPECT_EQ(mine.state(), reference.state()) << count;
    }
}

TEST(Shuffle, ThreeEntriesEndWithTheFormerFirst) {
    Rnd rnd;
    const std::vector<std::string> abc{"a ", "b ", "c "};
    int bFirst = 0, cFirst = 0;
    for (int i = 0; i < 20; ++i) {
        Rnd reference = rnd;
        const auto expected = scanningOrder(3, reference);
        const auto out = shuffled(abc, rnd);
        ASSERT_EQ(out.size(), 3u);
        EXPECT_EQ(out[0], abc[expected[0]]);
        EXPECT_EQ(out[2], "a ");
        EXPECT_EQ(sortedCopy({out[0], out[1]}), (std::vector<std::string>{"b ", "c "}));
        (out[0] == "b " ? bFirst : cFirst)++;
    }
    EXPECT_GT(bFirst, 0);
    EXPECT_GT(cFirst, 0);
}

TEST(Shuffle, DefaultListKeepsItsEntries) {
    Rnd rnd;
    const auto& list = defaultWordList();
    const auto out = shuffled(list, rnd);
    ASSERT_EQ(out.size(), 2050u);
    EXPECT_EQ(out.back(), "matter ");
    EXPECT_EQ(std::count(out.begin(), out.end(), "."), 93);
    EXPECT_EQ(sortedCopy(out), sortedCopy(list));
    EXPECT_NE(out, list);
}

TEST(Shuffle, TinyListsNeedNoDraw) {
    Rnd rnd;
    EXPECT_TRUE(shuffled({}, rnd).empty());
    EXPECT_EQ(shuffled({"only "}, rnd), (std::vector<std::string>{"only "}));
    EXPECT_EQ(rnd.state(), Rnd().state());

    // Two entries: the only value to draw is 1, taken by the first draw.
    EXPECT_EQ(shuffleOrder(2, rnd), (std::vector<int>{1, 0}));
    Rnd once;
    once.next();
    EXPECT_EQ(rnd.state(), once.state());
}

TEST(Shuffle, LongListIsNotLimitedInSize) {
    std::vector<std::string> list;
    list.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        list.push_back(std::to_string(i) + " ");
    }
    Rnd rnd;
    const auto out = shuffled(list, rnd);
    ASSERT_EQ(out.size(), list.size());
    EXPECT_EQ(out.back(), "0 ");
    EXPECT_EQ(sortedCopy(out), sortedCopy(list));
}

// The generator has 2^24 values: up to 2^24 + 1 entries every position can
// be drawn (and is, within one period); one more and some never could, so
// the redraws would go on for ever. Both must end with every entry once and
// the former first entry last.
TEST(Shuffle, EndsForListsTheGeneratorCannotServe) {
    for (const int count : {kClassicShuffleLimit, kClassicShuffleLimit + 1}) {
        SCOPED_TRACE(count);
        Rnd rnd;
        const std::vector<int> order = shuffleOrder(count, rnd);
        ASSERT_EQ(order.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(order.back(), 0);
        std::vector<bool> seen(order.size(), false);
        for (const int from : order) {
            ASSERT_TRUE(from >= 0 && from < count && !seen[static_cast<std::size_t>(from)]) << from;
            seen[static_cast<std::size_t>(from)] = true;
        }
    }
}

TEST(UserList, EachLineGetsOneSpace) {
    using V = std::vector<std::string>;
    EXPECT_EQ(parseUserList("yes\r\n\r\nno\r\n"), (V{"yes ", " ", "no "}));
    EXPECT_EQ(parseUserList("yes\n\nno\n"), (V{"yes ", " ", "no "}));
    EXPECT_EQ(parseUserList("last\r\nno end"), (V{"last ", "no end "}));
    EXPECT_EQ(parseUserList("  padded \r\n"), (V{"  padded  "}));
    EXPECT_EQ(parseUserList("\r\n"), (V{" "}));
    EXPECT_TRUE(parseUserList("").empty());
}

TEST(UserList, DecodesUtf8OrWindows1252) {
    using V = std::vector<std::string>;
    EXPECT_EQ(parseUserList("it\x92s\r\n"), (V{"it\u2019s "}));
    EXPECT_EQ(parseUserList("it\u2019s\r\n"), (V{"it\u2019s "}));
    EXPECT_EQ(parseUserList("\xEF\xBB\xBFyes\r\nno"), (V{"yes ", "no "}));
    // One stray byte makes the whole file Windows-1252.
    EXPECT_EQ(parseUserList("caf\xC3\xA9\r\nna\xEFve\r\n"), (V{"caf\u00C3\u00A9 ", "na\u00EFve "}));
}

} // namespace
} // namespace kestle::ecm
