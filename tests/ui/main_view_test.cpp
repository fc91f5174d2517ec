// SPDX-License-Identifier: GPL-3.0-or-later
// The window shows what the models say, and the operator's input reaches
// the models (offscreen platform).
#include "app/script_runner.h"
#include "device/link_factory.h"
#include "window_rig.h"

#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using kestle::ui::test::MainViewTest;

TEST_F(MainViewTest, LabelsAndColoursFollowTheModels) {
    auto& f = win->main();
    f.FREQA->setText(" 266 Hz");
    f.FREQA->setColor(kestle::forms::kRed);
    f.Shape1[2]->setColor(kestle::forms::kRed);
    settle();
    auto* freqa = view->findChild<QLabel*>("FREQA");
    ASSERT_NE(freqa, nullptr);
    EXPECT_EQ(freqa->text(), " 266 Hz");
    EXPECT_EQ(freqa->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    auto* shape = view->formView().widgetFor("Shape1(2)");
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->palette().color(QPalette::Window), QColor(255, 0, 0));
}

TEST_F(MainViewTest, TheWordListGrowsAndIsRebuiltAfterAClear) {
    auto& list = *win->main().List1;
    auto* widget = view->findChild<QListWidget*>("List1");
    ASSERT_NE(widget, nullptr);
    settle();
    EXPECT_EQ(widget->count(), 2050); // the default list loaded at start
    EXPECT_EQ(widget->item(14)->text(), "soldier ");
    list.clear();
    list.addItem("yes ");
    list.addItem("no ");
    list.select(1);
    settle();
    ASSERT_EQ(widget->count(), 2);
    EXPECT_EQ(widget->item(0)->text(), "yes ");
    EXPECT_EQ(widget->currentRow(), 1);
}

TEST_F(MainViewTest, MenuItemsMirrorTheirModelsAndRunTheirHandlers) {
    QAction* band = action("15 to 25 KHz");
    ASSERT_NE(band, nullptr);
    EXPECT_FALSE(band->isChecked());
    const int rfid = win->state().rfid;
    band->trigger();
    settle();
    EXPECT_TRUE(win->main().highhz2->checked());
    EXPECT_TRUE(band->isChecked());
    EXPECT_EQ(win->state().rfid, rfid + 512);

    // Locked menus cannot be chosen from the window either.
    win->menuoff();
    settle();
    band->trigger();
    EXPECT_TRUE(win->main().highhz2->checked());
    bool rfMenuEnabled = true;
    for (QAction* a : view->menuBar()->actions())
        if (QString(a->text()).remove('&') == "RF ")
            rfMenuEnabled = a->isEnabled();
    EXPECT_FALSE(rfMenuEnabled);
    // Hidden items stay hidden.
    QAction* off = action("ECM OFF");
    ASSERT_NE(off, nullptr);
    EXPECT_FALSE(off->isVisible());
}

TEST_F(MainViewTest, TypingEnterInTheQuestionBoxAsksTheQuestion) {
    auto* box = view->findChild<QPlainTextEdit*>("question");
    ASSERT_NE(box, nullptr);
    view->show();
    box->setFocus();
    QTest::keyClicks(box, "Hello");
    QTest::keyClick(box, Qt::Key_Return);
    // The question reaches the model through the scheduler's posted calls,
    // which a loaded machine may run a little later.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return win->main().main_display->text().find("User: Hello\r\n") != std::string::npos;
        },
        30000)); // a deadline: a loaded machine under ASan can take seconds
    settle();
    EXPECT_FALSE(win->main().question->enabled());
    EXPECT_TRUE(win->main().speechtimer->enabled());
}

// The operator's actions in the window reach the journal as the script
// commands that repeat them: run on a second window, they leave it the same.
TEST_F(MainViewTest, TheOperatorsActionsAreTheScriptCommandsThatRepeatThem) {
    std::vector<std::string> commands;
    auto told = win->events().subscribe([&](const kestle::events::Event& e) {
        if (auto* a = std::get_if<kestle::events::Action>(&e))
            commands.push_back(a->command);
    });
    view->show();
    auto* question = view->findChild<QPlainTextEdit*>("question");
    auto* option = qobject_cast<QRadioButton*>(view->formView().widgetFor("Option1(3)"));
    auto* offset = qobject_cast<QSlider*>(view->formView().widgetFor("ofs"));
    ASSERT_TRUE(question && option && offset);
    question->setFocus();
    QTest::keyClicks(question, "Is \\ay");
    QTest::keyClick(question, Qt::Key_Backspace);
    QTest::keyClick(question, Qt::Key_Backspace);
    QTest::keyClicks(question, "one  ");
    QTest::keyClick(question, Qt::Key_Backspace); // one word typed, one space taken back
    option->click();
    offset->setValue(offset->value() + 3);
    action("15 to 25 KHz")->trigger();
    settle();
    ASSERT_EQ(win->main().question->text(), "Is \\one ");
    EXPECT_EQ(commands.front(), "type question I");
    EXPECT_THAT(commands, testing::Contains("erase question"));

    auto again = makeWindow(dir / "again");
    again->Form_Load();
    again->main().setShown(true);
    std::ostringstream said;
    kestle::app::ScriptRunner runner(*again, said, nullptr), reader(*win, said, nullptr);
    bool done = false;
    runner.onFinished = [&] { done = true; };
    runner.load(commands);
    runner.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 30000));
    EXPECT_EQ(said.str(), ""); // every command ran
    for (const char* name : {"question", "Option1(3)", "Option1(1)", "ofs", "highhz2"})
        EXPECT_EQ(runner.dumpLine(name), reader.dumpLine(name)) << name;
    EXPECT_EQ(again->state().rfid, win->state().rfid);
}

TEST_F(MainViewTest, ThePresenceFrameCoversTheWindowWhileNoUnitIsAttached) {
    QWidget* frame = view->formView().widgetFor("Frame7");
    ASSERT_NE(frame, nullptr);
    view->show();
    const auto shownWithin5s = [&](bool shown) {
        return QTest::qWaitFor(
            [&] {
                settle();
                return frame->isVisible() == shown;
            },
            5000);
    };
    EXPECT_TRUE(shownWithin5s(false)); // the simulated unit reported itself
    kestle::device::asPluggable(win->link())->unplug();
    EXPECT_TRUE(shownWithin5s(true));
    EXPECT_EQ(frame->pos(), QPoint(0, 0));
    EXPECT_EQ(frame->size(), view->formView().size());
}

} // namespace

int main(int argc, char** argv) {
    // Preferences of the tests' own, never the user's.
    const auto config =
        fs::temp_directory_path() / ("kestle-ui-config-" + std::to_string(::getpid()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    // Two screens of laptops, side by side: 1366 x 768 (the first) and 1280 x 720.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        fs::create_directories(config);
        const fs::path screens = config / "screens.json";
        std::ofstream(screens) << R"({"windowFrameMargins": true, "screens": [
            {"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96},
            {"name": "small", "x": 1366, "y": 0, "width": 1280, "height": 720, "logicalDpi": 96}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + screens.c_str());
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    fs::remove_all(config);
    return rc;
}
