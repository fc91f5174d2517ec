// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestle::forms {
namespace {

struct Panel {
    Panel() {
        f.setShown(true);
        menu = &f.add("menu", Kind::Menu);
        sub = &f.add("sub", Kind::Menu, menu);
        leaf = &f.add("leaf", Kind::Menu, sub);
        frame = &f.add("frame", Kind::Frame);
        for (int i = 0; i < 3; ++i)
            opts.push_back(&f.add("opt(" + std::to_string(i) + ")", Kind::Option, frame));
        other = &f.add("other", Kind::Frame);
        stranger = &f.add("stranger", Kind::Option, other);
        box = &f.add("box", Kind::CheckBox, frame);
        box->setRange(0, 1);
    }
    Form f{"test"};
    Control *menu, *sub, *leaf, *frame, *other, *stranger, *box;
    std::vector<Control*> opts;
};

TEST(Control, ReachableOnlyWhenItsFormIsShownAndEveryContainerIsUsable) {
    Panel p;
    EXPECT_TRUE(p.leaf->reachable());
    p.f.setShown(false);
    EXPECT_FALSE(p.leaf->reachable());
    p.f.setShown(true);

    p.menu->setEnabled(false); // a locked top-level menu locks its grandchildren
    EXPECT_FALSE(p.leaf->reachable());
    EXPECT_TRUE(p.leaf->enabled()); // the item itself is not touched
    p.menu->setEnabled(true);

    p.sub->setVisible(false);
    EXPECT_FALSE(p.leaf->reachable());
    EXPECT_TRUE(p.menu->reachable());
    p.sub->setVisible(true);

    p.leaf->setEnabled(false);
    EXPECT_FALSE(p.leaf->reachable());
    EXPECT_TRUE(p.sub->reachable());
}

TEST(Control, OptionClickSelectsItselfAndClearsOnlyItsOwnContainer) {
    Panel p;
    p.stranger->click();
    p.opts[0]->click();
    std::vector<bool> seenInHandler;
    p.opts[2]->onClick = [&] {
        for (Control* o : p.opts)
            seenInHandler.push_back(o->checked());
    };
    p.opts[2]->click();
    // The handler already sees the new selection.
    EXPECT_EQ(seenInHandler, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(p.stranger->checked());
    // Clicking the selected option keeps it selected.
    p.opts[2]->click();
    EXPECT_TRUE(p.opts[2]->checked());
    EXPECT_FALSE(p.box->hasChecked());
}

TEST(Control, CheckBoxClickTogglesBeforeTheHandlerAndRaisesChange) {
    Panel p;
    std::vector<int> changes, clicks;
    p.box->onChange = [&] { changes.push_back(p.box->value()); };
    p.box->onClick = [&] { clicks.push_back(p.box->value()); };
    p.box->click();
    p.box->click();
    EXPECT_EQ(changes, (std::vector<int>{1, 0}));
    EXPECT_EQ(clicks, (std::vector<int>{1, 0}));
}

TEST(Control, ValueIsClampedAndOnlyARealChangeIsRaised) {
    Form f("f");
    Control& s = f.add("s", Kind::Slider);
    s.setRange(1, 200);
    EXPECT_EQ(s.value(), 1); // clamped into the new range
    int changes = 0;
    s.onChange = [&] { ++changes; };
    s.setValue(500);
    EXPECT_EQ(s.value(), 200);
    s.setValue(200);
    s.setValue(-3);
    EXPECT_EQ(s.value(), 1);
    EXPECT_EQ(changes, 2);
}

TEST(Control, TextChangeIsRaisedForTextBoxesOnly) {
    Form f("f");
    Control& t = f.add("t", Kind::TextBox);
    Control& l = f.add("l", Kind::Label);
    std::vector<std::string> seen;
    t.onChange = [&] { seen.push_back(t.text()); };
    l.onChange = [&] { seen.push_back("label"); };
    t.appendText("a");
    t.appendText("");
    t.appendText("b");
    t.setText("ab");
    l.setText("x");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "ab"}));
    // A handler that empties the box sees its own change once more.
    t.onChange = [&] {
        seen.push_back("[" + t.text() + "]");
        if (!t.text().empty())
            t.setText("");
    };
    t.appendText("\r\n");
    EXPECT_EQ(seen.back(), "[]");
    EXPECT_EQ(t.text(), "");
}

TEST(Control, ListSelectionIgnoresIndicesOutsideTheList) {
    Form f("f");
    Control& l = f.add("l", Kind::ListBox);
    EXPECT_EQ(l.text(), "");
    l.addItem("one");
    l.addItem("two");
    EXPECT_TRUE(l.select(1));
    EXPECT_EQ(l.text(), "two");
    EXPECT_FALSE(l.select(2));
    EXPECT_FALSE(l.select(-2));
    EXPECT_EQ(l.selected(), 1);
    EXPECT_TRUE(l.select(-1));
    EXPECT_EQ(l.text(), "");
    l.select(0);
    l.clear();
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(l.selected(), -1);
}

TEST(Control, DumpPropertiesFollowTheKind) {
    Form f("f");
    Control& label = f.add("label", Kind::Label);
    EXPECT_FALSE(label.hasColor()); // a label's colour counts once the program sets it
    label.setColor(kWhite);
    EXPECT_TRUE(label.hasColor());
    EXPECT_TRUE(f.add("list", Kind::ListBox).hasColor());
    EXPECT_FALSE(f.add("list2", Kind::ListBox).hasText());
    EXPECT_TRUE(f.add("menu", Kind::Menu).hasChecked());
    EXPECT_TRUE(f.add("check", Kind::CheckBox).hasValue());
    EXPECT_FALSE(f.add("slider", Kind::Slider).hasText());
}

TEST(Form, FindsControlsByNameAndTellsObserversAboutChanges) {
    Form f("f");
    Control& a = f.add("a", Kind::TextBox);
    Control& b = f.add("b(1)", Kind::Button);
    EXPECT_EQ(f.find("b(1)"), &b);
    EXPECT_EQ(f.find("c"), nullptr);
    EXPECT_THROW(f.get("c"), std::out_of_range);
    EXPECT_EQ(f.controls(), (std::vector<Control*>{&a, &b}));

    std::vector<Control*> seen;
    f.observe([&](Control* c) { seen.push_back(c); });
    a.setText("x");
    a.setText("x"); // no change, no notice
    b.setEnabled(false);
    f.setCaption("new");
    f.setShown(true);
    EXPECT_EQ(seen, (std::vector<Control*>{&a, &b, nullptr, nullptr}));
}

} // namespace
} // namespace kestle::forms
