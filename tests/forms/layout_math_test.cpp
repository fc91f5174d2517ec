// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/layout_math.h"

#include <gtest/gtest.h>

namespace kestle::forms {
namespace {

TEST(LayoutMath, EdgesRoundSoNeighboursTouchAtEveryScale) {
    for (double s : {0.6, 1.0, 1.37, 2.5}) {
        const PxRect a = toPixels(120, 60, 4200, 2640, s);
        const PxRect b = toPixels(4320, 60, 4200, 2640, s); // starts where a ends
        EXPECT_EQ(a.x + a.width, b.x) << s;
        EXPECT_EQ(a.y, b.y);
    }
    EXPECT_EQ(toPixels(150, 300, 1500, 450, 1.0), (PxRect{10, 20, 100, 30}));
    // The largest scale that fits, proportions kept.
    EXPECT_DOUBLE_EQ(fitScale(809, 1000, 12135, 8775), 1.0);
    EXPECT_DOUBLE_EQ(fitScale(2000, 585, 12135, 8775), 1.0);
    EXPECT_DOUBLE_EQ(fitScale(1618, 1170, 12135, 8775), 2.0);
}

TEST(LayoutMath, AWindowKeptInsideTheScreenMovesAndShrinksAsLittleAsItCan) {
    const PxRect laptop{0, 0, 1366, 768};
    EXPECT_EQ(keepInside({100, 40, 600, 400}, laptop), (PxRect{100, 40, 600, 400})); // fits
    // The review window as it was: 1100 x 760 at y 40, below the screen's edge.
    EXPECT_EQ(keepInside({133, 40, 1100, 760}, laptop), (PxRect{133, 8, 1100, 760}));
    EXPECT_EQ(keepInside({-20, 500, 1400, 400}, laptop), (PxRect{0, 368, 1366, 400}));
    // A free area that does not start at 0 (a panel on the left, a second screen).
    EXPECT_EQ(keepInside({0, 0, 700, 900}, {1366, 30, 1280, 690}), (PxRect{1366, 30, 700, 690}));
}

TEST(LayoutMath, EachCaptionGetsAMnemonicOfItsOwn) {
    EXPECT_EQ(
        withMnemonics({"File", "ECM", "RF ", "Speech ", "&Scope", "Settings"}),
        (std::vector<std::string>{"&File", "&ECM", "&RF ", "S&peech ", "&Scope", "Se&ttings"}));
    EXPECT_EQ(withMnemonics({"A && B", "a"}), (std::vector<std::string>{"&A && B", "a"}));
    EXPECT_EQ(withoutMnemonic("&System Info..."), "System Info...");
    EXPECT_EQ(withoutMnemonic("A && B"), "A & B");
}

} // namespace
} // namespace kestle::forms
