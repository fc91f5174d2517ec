// SPDX-License-Identifier: GPL-3.0-or-later
#include "ecm/default_words.h"
#include "ecm/word_list_ops.h"
#include "engine_fixture.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace kestle::ecm {
namespace {

using testing::EngineTest;
using V = std::vector<std::string>;

class ListHandlers : public EngineTest {
  protected:
    ~ListHandlers() override { std::filesystem::remove(userList()); }

    void writeUserList(const std::string& bytes) {
        std::ofstream(userList(), std::ios::binary) << bytes;
    }
    V items() const { return f.List1->items(); }
    // The user list is read elsewhere; its result arrives on the next turn.
    void settle() { sched.advance(0); }
    void expectDefaultList() {
        EXPECT_EQ(items(), defaultWordList());
        EXPECT_EQ(f.List1->color(), forms::kLightGrey);
        EXPECT_EQ(st.usword, 0);
    }
    std::string infoMessage() const {
        return "MSGBOX Your must have a file in " + userList().string() +
               " see manual for help\r\nWhen useing a user list the watermark capture feature "
               "will be disabled";
    }
};

TEST_F(ListHandlers, LoadlistAppendsTheDefaultListWithoutClearing) {
    st.usword = 1;
    f.List1->setColor(forms::kPaleCyan);
    engine->loadlist();
    expectDefaultList();
    engine->loadlist();
    EXPECT_EQ(f.List1->count(), 4100);
}

TEST_F(ListHandlers, UserListLinesBecomeEntriesWithOneSpace) {
    engine->loadlist();
    writeUserList("yes\r\n\r\nno\r\n");
    f.usr->click();
    settle();
    EXPECT_EQ(items(), (V{"yes ", " ", "no "}));
    EXPECT_EQ(f.List1->color(), forms::kPaleCyan);
    EXPECT_EQ(st.usword, 1);
    EXPECT_EQ(host.lines, V{infoMessage()});
}

TEST_F(ListHandlers, UserListTakesLfLinesAndEitherEncoding) {
    writeUserList("caf\xE9\nit\x92s\n");
    engine->userlist();
    settle();
    EXPECT_EQ(items(), (V{"caf\u00E9 ", "it\u2019s "}));
    writeUserList("caf\u00E9\r\nit\u2019s");
    engine->userlist();
    settle();
    EXPECT_EQ(items(), (V{"caf\u00E9 ", "it\u2019s "}));
}

TEST_F(ListHandlers, MissingUserListFallsBackToTheDefaultList) {
    engine->loadlist();
    f.usr->click();
    settle();
    EXPECT_EQ(
        host.lines,
        (V{infoMessage(), "MSGBOX  User List not found\r\nMust have a file name " +
                              userList().string() + "\r\nDefault system list will now re-load"}));
    expectDefaultList();
}

// A FIFO would block the window thread in open() for ever, /dev/zero would
// fill the memory: both are refused with the reason, and the default list
// comes back.
TEST_F(ListHandlers, AUserListThatIsNoRegularFileSaysWhyAndLoadsTheDefaultList) {
    const std::filesystem::path fifo = userList().string() + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& target : {fifo, std::filesystem::path("/dev/zero")}) {
        SCOPED_TRACE(target);
        std::filesystem::remove(userList());
        std::filesystem::create_symlink(target, userList());
        host.lines.clear();
        f.List1->clear();
        engine->userlist();
        settle();
        EXPECT_EQ(host.lines,
                  V{"MSGBOX  User List could not be read: Cannot read " + userList().string() +
                    ": it is not a regular file\r\nMust have a file name " + userList().string() +
                    "\r\nDefault system list will now re-load"});
        expectDefaultList();
    }
    std::filesystem::remove(fifo);
}

// The list is read elsewhere; a list change before it arrives wins.
TEST_F(ListHandlers, ARestoreBeforeTheUserListArrivesKeepsTheDefaultList) {
    writeUserList("yes\r\nno\r\n");
    engine->userlist();
    f.lcontrol[1]->click();
    settle();
    expectDefaultList();
}

TEST_F(ListHandlers, ShuffleDrawsFromTheApplicationGenerator) {
    for (const char* e : {"a ", "b ", "c "})
        f.List1->addItem(e);
    for (int i = 0; i < 8; ++i) {
        Rnd expected = rnd;
        const V before = items();
        const auto order = shuffleOrder(3, expected);
        f.lcontrol[0]->click();
        EXPECT_EQ(items(), (V{before[order[0]], before[order[1]], before[order[2]]}));
        EXPECT_EQ(rnd.state(), expected.state());
        EXPECT_TRUE(f.List1->visible());
        EXPECT_TRUE(f.lcontrol[0]->enabled());
        EXPECT_TRUE(f.lcontrol[1]->enabled());
    }
}

TEST_F(ListHandlers, ShuffleOfTinyListsChangesNothing) {
    f.lcontrol[0]->click();
    EXPECT_TRUE(items().empty());
    f.List1->addItem("only ");
    f.lcontrol[0]->click();
    EXPECT_EQ(items(), V{"only "});
    EXPECT_EQ(rnd.state(), Rnd().state());
}

TEST_F(ListHandlers, RestoreBringsBackTheDefaultListAndHidesZevAda) {
    writeUserList("yes\r\nno\r\n");
    engine->userlist();
    settle();
    f.itcpro->setChecked(true);
    f.phoneon->setChecked(true);
    f.lcontrol[1]->click();
    expectDefaultList();
    EXPECT_FALSE(f.itcpro->checked());
    EXPECT_FALSE(f.itcpro->visible());
    EXPECT_TRUE(f.phoneon->checked()); // not touched
    EXPECT_TRUE(f.List1->visible());
    EXPECT_TRUE(f.lcontrol[0]->enabled() && f.lcontrol[1]->enabled());

    f.lcontrol[0]->click();
    EXPECT_EQ(f.List1->count(), 2050);
    const V shuffledList = items();
    EXPECT_EQ(shuffledList.back(), "matter ");
    EXPECT_EQ(std::count(shuffledList.begin(), shuffledList.end(), "."), 93);
}

TEST_F(ListHandlers, PhonemesOnLoadsTheTableAndOffTheDefaultList) {
    writeUserList("yes\r\nno\r\n");
    engine->userlist();
    settle();
    f.phoneon->click();
    EXPECT_TRUE(f.phoneon->checked());
    ASSERT_EQ(f.List1->count(), 2160);
    EXPECT_EQ(items()[0], " ");
    EXPECT_EQ(items()[270], " ");
    EXPECT_EQ(items()[271], "ca");
    EXPECT_EQ(items()[2158], "Th");
    EXPECT_EQ(items()[2159], " ");
    EXPECT_EQ(f.List1->color(), forms::kPaleCyan); // the table keeps the colour
    EXPECT_TRUE(f.List1->visible());

    f.phoneon->click();
    EXPECT_FALSE(f.phoneon->checked());
    expectDefaultList(); // not the user list loaded before
}

} // namespace
} // namespace kestle::ecm
