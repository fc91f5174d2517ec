// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/main_form.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestle::forms {
namespace {

struct Shown {
    Shown() { f.setShown(true); }
    VirtualScheduler sched;
    MainForm f{sched};
};

std::vector<std::string> reachableMenuItems(const MainForm& f) {
    std::vector<std::string> names;
    for (const Control* c : f.controls()) {
        if (c->kind() == Kind::Menu && c->reachable())
            names.push_back(c->name());
    }
    return names;
}

TEST(MainForm, MenuBarHasTheTopLevelMenusInOrder) {
    Shown s;
    std::vector<std::string> top;
    for (const Control* c : s.f.controls()) {
        if (c->kind() == Kind::Menu && !c->parent())
            top.push_back(c->text());
    }
    EXPECT_EQ(top, (std::vector<std::string>{"File", "ECM", "RF ", "Speech ", "PC A/V", "Alarms",
                                             "Log File", "Scope", "EXP Devices", "Help"}));
}

TEST(MainForm, UnavailableItemsCanNeverBeReached) {
    Shown s;
    menuon(s.f); // menuon switches only the headings
    std::vector<Control*> never = {s.f.ITC4, s.f.itcpro, s.f.vo3, s.f.vo4};
    for (Control* e : s.f.expItems)
        never.push_back(e);
    for (Control* c : never)
        EXPECT_FALSE(c->reachable()) << c->name();
    EXPECT_FALSE(s.f.ITC4->visible());
    EXPECT_FALSE(s.f.vo3->visible());
    EXPECT_FALSE(s.f.vo4->visible());
}

TEST(MainForm, DesignTimeCheckMarks) {
    Shown s;
    std::vector<std::string> checked;
    for (const Control* c : s.f.controls()) {
        if (c->kind() == Kind::Menu && c->checked())
            checked.push_back(c->name());
    }
    EXPECT_EQ(checked, (std::vector<std::string>{"ITC1", "phbrake", "TBon", "tb100", "showab"}));
    EXPECT_TRUE(s.f.Option1[1]->checked());
    EXPECT_EQ(s.f.Option1[7]->text(), " Constant");
    EXPECT_EQ(s.f.Option1[4]->text(), "25sec");
}

TEST(MainForm, MenuOffLocksEveryMenuAndBothListButtonsUntilMenuOn) {
    Shown s;
    const auto before = reachableMenuItems(s.f);
    ASSERT_FALSE(before.empty());
    menuoff(s.f);
    EXPECT_TRUE(reachableMenuItems(s.f).empty());
    EXPECT_FALSE(s.f.lcontrol[0]->reachable());
    EXPECT_FALSE(s.f.lcontrol[1]->reachable());
    EXPECT_FALSE(s.f.av0->enabled());
    EXPECT_FALSE(s.f.exp0->enabled());
    // Individual items keep their own state.
    EXPECT_TRUE(s.f.exout->enabled());
    EXPECT_TRUE(s.f.question->reachable()); // the question box is not a menu
    menuon(s.f);
    auto after = reachableMenuItems(s.f);
    // menuon also enables the "EXP Devices" heading, but none of its entries.
    EXPECT_EQ(after.size(), before.size() + 1);
    EXPECT_TRUE(s.f.exp0->reachable());
    EXPECT_TRUE(s.f.lcontrol[0]->reachable());
    EXPECT_TRUE(s.f.lcontrol[1]->reachable());
}

TEST(MainForm, TimersStartDisabledWithTheirDesignIntervals) {
    Shown s;
    EXPECT_FALSE(s.f.speechtimer->enabled());
    EXPECT_FALSE(s.f.htime->enabled());
    EXPECT_FALSE(s.f.asktimer->enabled());
    EXPECT_EQ(s.f.speechtimer->interval(), 10);
    EXPECT_EQ(s.f.htime->interval(), 35);
    EXPECT_EQ(s.f.asktimer->interval(), 5000);
}

TEST(MainForm, SlidersHaveTheirRangesAndStartValues) {
    Shown s;
    EXPECT_EQ(s.f.ofs->min(), 1);
    EXPECT_EQ(s.f.ofs->max(), 100);
    EXPECT_EQ(s.f.ofs->value(), 5);
    EXPECT_EQ(s.f.Slider2->min(), 1);
    EXPECT_EQ(s.f.Slider2->max(), 200);
    EXPECT_EQ(s.f.Slider2->value(), 35);
    EXPECT_EQ(s.f.offsetdisp->text(), "5");
    EXPECT_EQ(s.f.Text1->text(), "35");
}

} // namespace
} // namespace kestle::forms

namespace kestle::forms {
namespace {

template <class F> void expectUniqueNames(const F& form) {
    std::set<std::string> names;
    for (const Control* c : form.controls()) {
        EXPECT_TRUE(names.insert(c->name()).second) << form.name() << "." << c->name();
        EXPECT_EQ(form.find(c->name()), c) << c->name();
    }
}

TEST(Forms, EveryControlNameIsUniqueWithinItsForm) {
    VirtualScheduler sched;
    expectUniqueNames(MainForm(sched));
    expectUniqueNames(SplashForm());
    expectUniqueNames(AboutForm());
    expectUniqueNames(Vid2Form());
    expectUniqueNames(CVForm());
}

TEST(Forms, ASecondControlOfTheSameNameIsRefused) {
    Form f("f");
    Control& first = f.add("x", Kind::Button);
    EXPECT_THROW(f.add("x", Kind::Label), std::invalid_argument);
    EXPECT_EQ(f.find("x"), &first);
    EXPECT_EQ(f.controls().size(), 1u);
}

} // namespace
} // namespace kestle::forms
