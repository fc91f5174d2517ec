// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/default_words.h"
#include "ecm/phoneme_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace kestle::ecm {
namespace {

std::map<std::string, int> countEntries(const std::vector<std::string>& list) {
    std::map<std::string, int> counts;
    for (const auto& e : list) {
        ++counts[e];
    }
    return counts;
}

TEST(DefaultWordList, MultisetHasTheDocumentedFigures) {
    const auto& list = defaultWordList();
    ASSERT_EQ(list.size(), 2050u);
    auto counts = countEntries(list);
    EXPECT_EQ(counts.size(), 1922u);
    EXPECT_EQ(counts["."], 93);
    EXPECT_EQ(counts["? "], 4);
    EXPECT_EQ(counts["! "], 4);
    EXPECT_EQ(counts["?"], 3);
    EXPECT_EQ(counts["!"], 1);
    EXPECT_EQ(counts["no"], 1);
    EXPECT_EQ(counts["Lisa"], 1);

    std::vector<std::string> twice;
    for (const auto& [text, n] : counts) {
        if (n > 1 && text != "." && text != "? " && text != "! " && text != "?") {
            EXPECT_EQ(n, 2) << '"' << text << '"';
            twice.push_back(text);
        }
    }
    EXPECT_EQ(twice.size(), 28u);
    for (const char* w : {"night ", "power ", "element ", "god ", " "}) {
        EXPECT_NE(std::find(twice.begin(), twice.end(), w), twice.end()) << w;
    }
}

TEST(DefaultWordList, OnlyTheListedEntriesLackTheTrailingSpace) {
    std::map<std::string, int> bare;
    for (const auto& e : defaultWordList()) {
        ASSERT_FALSE(e.empty());
        if (e.back() != ' ') {
            ++bare[e];
        }
    }
    const std::map<std::string, int> expected{
        {".", 93}, {"?", 3}, {"!", 1}, {"no", 1}, {"Lisa", 1}};
    EXPECT_EQ(bare, expected);
}

TEST(DefaultWordList, EntriesSitAtTheirPositions) {
    const auto& list = defaultWordList();
    EXPECT_EQ(list[0], "matter ");
    EXPECT_EQ(list[12], "kid ");
    EXPECT_EQ(list[14], "soldier ");
    EXPECT_EQ(list[2049], "an ");
    // Quoted entries that a naive comma split would break.
    EXPECT_EQ(list[576], ", ");
    EXPECT_EQ(list[584], ". ");
    EXPECT_EQ(list[140], "dr. ");
    EXPECT_EQ(list[1503], "deja`vu ");
    EXPECT_EQ(list[1309], " ");
    EXPECT_EQ(list[1379], " ");
}

TEST(DefaultWordList, TypographicApostropheOnlyInTwoEntries) {
    const auto& list = defaultWordList();
    EXPECT_EQ(list[957], "i\u2019m ");
    EXPECT_EQ(list[1666], "shouldn\u2019t ");
    int nonAscii = 0;
    for (const auto& e : list) {
        nonAscii += std::any_of(e.begin(), e.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    }
    EXPECT_EQ(nonAscii, 2);
    EXPECT_EQ(std::count(list.begin(), list.end(), "i'm "), 0);
}

TEST(PhonemeTable, HasItsSpacesAndPunctuation) {
    const auto& table = phonemeTable();
    ASSERT_EQ(table.size(), 270u);
    auto counts = countEntries(table);
    EXPECT_EQ(counts[" "], 14);
    EXPECT_EQ(counts["  "], 1);
    EXPECT_EQ(table[0], " ");
    EXPECT_EQ(table[40], " .");
    EXPECT_EQ(table[103], "  ");
    EXPECT_EQ(table[143], ". ");
    EXPECT_EQ(table[268], "Th");
    EXPECT_EQ(table[269], " ");
}

TEST(PhonemeTable, LoadphoneAppendsWholeRounds) {
    std::vector<std::string> list;
    loadphone(list);
    ASSERT_EQ(list.size(), 2160u);
    for (std::size_t p = 0; p < list.size(); ++p) {
        ASSERT_EQ(list[p], phonemeTable()[p % 270]) << p;
    }
    EXPECT_EQ(list[270], " ");
    EXPECT_EQ(list[2158], "Th");

    // It never clears: a list already long enough is left alone, and a
    // short one gets whole rounds after its own entries.
    loadphone(list);
    EXPECT_EQ(list.size(), 2160u);
    std::vector<std::string> shortList(2047, "x ");
    loadphone(shortList);
    ASSERT_EQ(shortList.size(), 2047u + 270u);
    EXPECT_EQ(shortList[2046], "x ");
    EXPECT_EQ(shortList[2047], " ");
    EXPECT_EQ(shortList.back(), " ");
    std::vector<std::string> full(2048, "x ");
    loadphone(full);
    EXPECT_EQ(full.size(), 2048u);
}

} // namespace
} // namespace kestle::ecm
