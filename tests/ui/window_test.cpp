// SPDX-License-Identifier: GPL-3.0-or-later
// The window as an operator meets it at night: layouts right at every
// scale, menus reachable from the keyboard, the night view remembered.
// The rig first: the device headers must come before Qt's keywords.
#include "window_rig.h"

#include "ui/form_widgets.h"
#include "ui/layouts.h"
#include "ui/live_chart.h"
#include "ui/preferences.h"

#include <gmock/gmock.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <fstream>
#include <set>

namespace kestle::ui::test {
namespace {

// Every fixed caption of a frame stands below the frame's border line and
// inside the frame; the frame's own caption fits on its border.
void expectCaptionsFit(FormView& v) {
    for (QWidget* w : v.findChildren<QWidget*>()) {
        auto* frame = dynamic_cast<FrameWidget*>(w);
        if (!frame)
            continue;
        EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width())
            << frame->objectName().toStdString();
        for (auto* caption : frame->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (caption->objectName().isEmpty()) { // a fixed caption, not a control
                EXPECT_GT(caption->y(), frame->borderTop()) << caption->text().toStdString();
                EXPECT_LE(caption->geometry().right(), frame->width());
            }
        }
    }
}

TEST_F(MainViewTest, AtEveryScaleCaptionsFitAndTheDisplayHoldsFifteenWholeLines) {
    QLabel* display = view->findChild<QLabel*>("main_display");
    ASSERT_TRUE(display);
    for (double s : {0.6, 1.0, 1.6, 2.4}) {
        view->formView().setScale(s);
        settle();
        expectCaptionsFit(view->formView());
        // The largest text of which fifteen lines fit, but never a text too
        // small to read.
        const QRect room = display->contentsRect();
        const int px = display->font().pixelSize();
        EXPECT_GE(px, kMinDisplayPx) << s;
        if (px > kMinDisplayPx) {
            EXPECT_LE(display->fontMetrics().lineSpacing() * 15, room.height()) << s;
        }
        QFont larger = display->font();
        larger.setPixelSize(px + 1);
        EXPECT_GT(QFontMetrics(larger).lineSpacing() * 15, room.height()) << s;
        // The form keeps its proportions: a control scales with it.
        const QWidget* list = view->formView().widgetFor("List1");
        EXPECT_NEAR(list->width(), 3015 * s / 15, 1.0);
        EXPECT_NEAR(list->height(), 2880 * s / 15, 1.0);
    }
}

// What a constant session writes: sentences of words, a line end after
// each, long enough to wrap.
std::string sessionText(int lines) {
    static const char* words[] = {"dug",      "worm",   "pie",     "located", "specter",
                                  "hours",    "almost", "leave",   "mirror",  "angle",
                                  "products", "gender", "haunting"};
    std::string t;
    for (int l = 0; l < lines; ++l) {
        for (int w = 0; w < 11 + l % 5; ++w)
            t += std::string(words[(l * 7 + w) % 13]) + " ";
        t += ".\r\n";
    }
    return t;
}

// The newest word is whole and in sight however much text the display
// holds, at every window size, with the phoneme panel of the time-slice
// layouts over the display (at either of its places), and after the
// display has paged: it is drawn inside the display, below no other
// control, where the operator's eye goes.
TEST_F(MainViewTest, TheNewestWordIsAlwaysWholeAndInSight) {
    FormView& form = view->formView();
    auto* display = static_cast<LabelWidget*>(form.widgetFor("main_display"));
    QWidget* panel = form.widgetFor("Frame9");
    ASSERT_TRUE(display && panel);
    view->show();
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus(); // a blinking cursor elsewhere is not the word
    auto& model = *win->main().main_display;
    auto expectNewestInSight = [&](const std::string& text, const std::string& where) {
        SCOPED_TRACE(where);
        model.setText(text);
        settle();
        const QImage before = form.grab().toImage();
        model.setText(text + "Zanzibar ");
        settle();
        const QImage after = form.grab().toImage();
        const QRect line(display->mapTo(&form, display->newestLineRect().topLeft()),
                         display->newestLineRect().size());
        ASSERT_FALSE(line.isEmpty());
        const QRect shown(display->mapTo(&form, QPoint(0, 0)), display->size());
        EXPECT_TRUE(shown.contains(line)) << "line " << line.y() << "+" << line.height()
                                          << " display " << shown.y() << "+" << shown.height();
        if (panel->isVisible()) {
            EXPECT_FALSE(panel->geometry().intersects(line)) << "under the phoneme panel";
        }
        // The word was drawn there, and nothing changed outside the display.
        const QRect changed = changedRect(before, after);
        EXPECT_TRUE(changed.intersects(line));
        EXPECT_TRUE(shown.contains(changed));
        int ink = 0;
        const QColor colour = display->palette().color(QPalette::WindowText);
        for (int y = line.top(); y <= line.bottom(); ++y)
            for (int x = line.left(); x <= line.right(); ++x)
                ink += after.pixelColor(x, y) == colour;
        EXPECT_GT(ink, 10) << "no text drawn in the newest line";
    };
    for (double s : {0.6, 1.0, 1.7}) {
        form.setScale(s);
        const std::string at = "scale " + std::to_string(s);
        expectNewestInSight(sessionText(15), at);
        expectNewestInSight(sessionText(3), at + ", a few lines");
    }
    form.setScale(1);
    win->main().tsphone->click(); // the panel over the display's top
    expectNewestInSight(sessionText(15), "time slice");
    expectNewestInSight(sessionText(1), "time slice, one line");
    win->main().tsphone->click();
    win->main().ITC1->click(); // an ECM mode moves the panel lower
    win->main().rsphone->click();
    ASSERT_TRUE(panel->isVisible());
    expectNewestInSight(sessionText(15), "random time slice, panel moved");
    expectNewestInSight(sessionText(2), "random time slice, panel moved, two lines");
    win->main().rsphone->click();
    // After the display has paged (emptied by a cycle), the first word shows.
    expectNewestInSight("", "paged");
}

TEST_F(MainViewTest, AHiddenFrameHidesItsCaptionsAndAFrameHidesWhatIsBehindIt) {
    view->show();
    auto caption = [this](const char* text) {
        for (auto* l : view->findChildren<QLabel*>())
            if (l->text() == text)
                return l;
        return static_cast<QLabel*>(nullptr);
    };
    ASSERT_TRUE(caption("Channel A") && caption("Temperature") && caption("Delay"));
    EXPECT_TRUE(caption("Channel A")->isVisible());
    EXPECT_FALSE(caption("Delay")->isVisible());
    win->main().tsphone->click(); // the time-slice layout
    settle();
    EXPECT_FALSE(caption("Channel A")->isVisible());
    EXPECT_FALSE(caption("Temperature")->isVisible());
    EXPECT_TRUE(caption("Delay")->isVisible());
    // The phoneme frame over the dark display paints its own background.
    QWidget* frame = view->formView().widgetFor("Frame9");
    const QImage shot = view->formView().grab().toImage();
    const QPoint inside =
        frame->mapTo(&view->formView(), QPoint(frame->width() / 2, frame->height() - 4));
    EXPECT_EQ(shot.pixelColor(inside), view->formView().theme().window());
}

TEST_F(MainViewTest, MenusCheckOnlySwitchesAndAreReachableFromTheKeyboard) {
    for (const char* command : {"Exit", "About Corvane", "Audio Video Setup",
                                "View Logs and Screen Shots", "Upload User Word List"})
        EXPECT_FALSE(action(command)->isCheckable()) << command;
    for (const char* sw : {"Data Log On", "Scope On", "Voltage above", "ECM EMF", "Constant"})
        EXPECT_TRUE(action(sw)->isCheckable()) << sw;
    // One mnemonic a menu on the bar, each a different letter.
    std::set<QChar> keys;
    for (QAction* a : view->menuBar()->actions()) {
        const int at = a->text().indexOf('&');
        ASSERT_GE(at, 0) << a->text().toStdString();
        EXPECT_TRUE(keys.insert(a->text().at(at + 1).toLower()).second) << a->text().toStdString();
    }
    view->show();
    QTest::keyClick(view.get(), Qt::Key_F10);
    EXPECT_EQ(view->menuBar()->activeAction(), view->menuBar()->actions().first());
}

TEST_F(MainViewTest, TheNightViewDimsEverythingKeepsMeaningsApartAndIsRemembered) {
    win->main().FREQA->setColor(forms::kRed);
    win->main().Shape1[1]->setColor(forms::kRed);
    view->setNightView(true);
    preferNightView(true);
    settle();
    auto colour = [this](const char* name, QPalette::ColorRole role) {
        return view->formView().widgetFor(name)->palette().color(role);
    };
    const QColor hit = colour("FREQA", QPalette::WindowText);
    const QColor plain = colour("FREQB", QPalette::WindowText);
    EXPECT_NE(hit, plain);
    EXPECT_GT(hit.red(), 2 * hit.green()); // a band hit stays red
    EXPECT_NE(colour("Shape1(1)", QPalette::Window), colour("Shape1(0)", QPalette::Window));
    // Nothing bright: no colour of the form is lighter than a dim amber.
    for (const char* name : {"main_display", "List1", "question", "FREQB", "tempdisp"}) {
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Text, QPalette::WindowText})
            EXPECT_LT(colour(name, role).lightness(), 130) << name;
    }
    auto* frame = static_cast<FrameWidget*>(view->formView().widgetFor("Frame1"));
    EXPECT_LT(frame->background().lightness(), 30);
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 30);

    // A new window starts in the night view; Kestle.ini knows nothing of it.
    MainView again(*win, "");
    EXPECT_TRUE(again.nightView());
    ASSERT_TRUE(win->writeini().ok());
    std::ifstream ini(dir / "Kestle.ini");
    const std::string settings((std::istreambuf_iterator<char>(ini)), {});
    EXPECT_EQ(settings.find("night"), std::string::npos);
    EXPECT_NE(settings.find("[NAG]"), std::string::npos);
    preferNightView(false);
    view->setNightView(false);
}

TEST_F(MainViewTest, AnAmpersandMarksAMnemonicOnButtons) {
    FormView about(win->about(), {}, 5880, 4260);
    auto* button = qobject_cast<QPushButton*>(about.widgetFor("cmdSysInfo"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), "&System Info..."); // shown as "System Info..." with S underlined
}

} // namespace
} // namespace kestle::ui::test

namespace kestle::ui::test {
namespace {

std::string focusedName() {
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName().toStdString() : std::string("(none)");
}

// Tab and Shift+Tab walk the controls in the form's reading order (the
// question box no longer swallows Tab), Enter with nothing typed asks
// nothing, and each secondary window has its default button and Escape.
TEST_F(MainViewTest, TheKeyboardReachesEveryControlInTheFormsOrder) {
    view->show();
    QApplication::setActiveWindow(view.get());
    auto* question = view->formView().widgetFor("question");
    question->setFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 40 && (order.empty() || order.back() != "question"); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(focusedName());
    }
    EXPECT_EQ(win->main().question->text(), ""); // no tab typed into it
    // The row of the question box, left to right, then the next rows; the
    // word list and its buttons after the question panel.
    const std::vector<std::string> start = {"Option1(0)", "Option1(4)", "cancel",
                                            "Option1(1)", "Option1(5)", "clear_main"};
    ASSERT_GE(order.size(), start.size());
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 6), start);
    for (const char* reached : {"Save_Main_display", "Option1(7)", "List1", "veiwlog", "ofs"})
        EXPECT_NE(std::find(order.begin(), order.end(), reached), order.end()) << reached;
    EXPECT_EQ(order.back(), "question"); // round the whole form
    // Shift+Tab goes back the same way.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusedName(), order[order.size() - 2]);

    // Enter in an empty question box asks nothing.
    question->setFocus();
    const std::string shown = win->main().main_display->text();
    QTest::keyClick(question, Qt::Key_Return);
    QTest::keyClicks(question, "  ");
    QTest::keyClick(question, Qt::Key_Return);
    settle();
    EXPECT_EQ(win->main().main_display->text(), shown);
    EXPECT_TRUE(win->main().question->enabled());

    // The disclaimer: Enter presses the focused button, else "Agree";
    // its text is read, not edited.
    DialogView splash(win->splash(), splashLayout(), 8040, 6240, {});
    splash.show();
    QApplication::setActiveWindow(&splash);
    auto* text = splash.formView().widgetFor("Text1");
    const std::string statement = win->splash().Text1->text();
    text->setFocus();
    QTest::keyClicks(text, "x");
    QTest::keyClick(text, Qt::Key_Backspace);
    EXPECT_EQ(win->splash().Text1->text(), statement);
    QTest::keyClick(text, Qt::Key_Return); // the default: "Agree" without the tick
    EXPECT_THAT(out.str(), testing::HasSubstr("MSGBOX \"The Kestle\" \"You need to Check"));
    bool disagreed = false;
    win->splash().Command2->onClick = [&] { disagreed = true; };
    splash.formView().widgetFor("Command2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(disagreed);

    // About: Enter is OK, Escape closes it.
    DialogView about(win->about(), aboutLayout(), 5880, 4260,
                     [this] { win->about().setShown(false); });
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        win->abdd_Click();
        settle();
        ASSERT_TRUE(about.isVisible());
        QApplication::setActiveWindow(&about);
        about.formView().widgetFor("Label1")->setFocus();
        QTest::keyClick(&about, key);
        settle();
        EXPECT_FALSE(win->about().shown()) << key;
        EXPECT_FALSE(about.isVisible()) << key;
    }
}

// A double-click on a control with a double-click handler runs it, as the
// script's dblclick does, and reaches the journal as that command.
TEST_F(MainViewTest, ADoubleClickReachesEveryControlThatHandlesOne) {
    view->show();
    std::vector<std::string> commands;
    auto told = win->events().subscribe([&](const kestle::events::Event& e) {
        if (auto* a = std::get_if<kestle::events::Action>(&e))
            commands.push_back(a->command);
    });
    int handled = 0;
    std::vector<std::string> names;
    for (forms::Control* c : win->main().controls())
        if (c->onDblClick) {
            names.push_back(c->name());
            c->onDblClick = [c, &handled, run = c->onDblClick] {
                ++handled;
                run();
            };
        }
    EXPECT_THAT(names, testing::UnorderedElementsAre("tempdisp", "emfdisp"));
    for (const std::string& name : names) {
        QWidget* w = view->formView().widgetFor(name);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w))
            w = area->viewport();
        QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
    }
    settle();
    EXPECT_EQ(handled, 2);
    EXPECT_THAT(commands, testing::Contains("dblclick tempdisp"));
    EXPECT_THAT(out.str(), testing::HasSubstr("Temperature Calibration")); // the "Cal" prompt
    EXPECT_TRUE(win->main().calmag->visible());                            // the alignment panel
    EXPECT_TRUE(view->formView().widgetFor("calmag")->isVisible());
}

// "View" > "Live Chart", by mouse or Alt+V, L, opens the live chart in front
// of the main window (a window of its own kept above it), checks the item,
// and closes it again; closed another way, the item is unchecked.
TEST_F(MainViewTest, LiveChartOpensInFrontAndToggles) {
    auto* live = new LiveChart(*win, view.get());
    view->setLiveChart(live);
    view->hide();
    view->openLiveChart(); // as --live-chart asks, before the main window shows
    EXPECT_FALSE(live->isVisible());
    view->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return live->isVisible(); }, 5000));
    EXPECT_EQ(live->windowHandle()->transientParent(), view->windowHandle());
    EXPECT_TRUE(QTest::qWaitForWindowActive(live));
    QAction* item = action("Live Chart");
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_FALSE(live->isVisible());
    EXPECT_FALSE(item->isChecked());
    // From the keyboard, while a session locks the form's menus.
    win->menuoff();
    settle();
    QApplication::setActiveWindow(view.get());
    QTest::keyClick(view.get(), Qt::Key_V, Qt::AltModifier);
    QMenu* menu = item->associatedObjects().isEmpty()
                      ? nullptr
                      : qobject_cast<QMenu*>(item->associatedObjects().first());
    ASSERT_TRUE(menu);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    QTest::keyClick(menu, Qt::Key_L);
    ASSERT_TRUE(QTest::qWaitFor([&] { return live->isVisible(); }, 5000));
    EXPECT_TRUE(item->isChecked());
    live->close();
    EXPECT_FALSE(item->isChecked());
    delete live; // the item stays harmless
    item->trigger();
}

// The text size: never below 12 px at the default on a laptop's or a small
// screen, larger and smaller with Ctrl++ and Ctrl+-, for the display and
// the review box only; the form's layout stays; kept in the preferences.
TEST_F(MainViewTest, TheTextSizeIsReadableChosenAndKept) {
    auto* display = view->findChild<QLabel*>("main_display");
    QWidget* review = view->formView().widgetFor("veiwlog");
    QWidget* list = view->formView().widgetFor("List1");
    view->show();
    for (QSize screen : {QSize(1366, 768), QSize(800, 600)}) {
        view->resize(view->openingSize(screen));
        settle();
        EXPECT_GE(display->font().pixelSize(), 12) << screen.width();
    }
    const int px = display->font().pixelSize(), reviewPx = review->font().pixelSize(),
              listPx = list->font().pixelSize();
    const QRect place = display->geometry();
    QApplication::setActiveWindow(view.get());
    QTest::keyClick(view.get(), Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(view.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(view->textSizeStep(), 2);
    EXPECT_GE(display->font().pixelSize(), px * 14 / 10);
    EXPECT_GT(review->font().pixelSize(), reviewPx);
    EXPECT_EQ(list->font().pixelSize(), listPx);
    EXPECT_EQ(display->geometry(), place);
    // Larger text still wraps in its box, the newest line in view.
    win->main().main_display->setText(std::string(400, 'w').replace(100, 1, " ") + " last");
    settle();
    const QRect newest = static_cast<LabelWidget*>(display)->newestLineRect();
    EXPECT_TRUE(display->rect().contains(newest));
    {
        MainView again(*win, "");
        EXPECT_EQ(again.textSizeStep(), 2);
    }
    QTest::keyClick(view.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(view->textSizeStep(), 1);
    QSettings prefs(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
    EXPECT_EQ(prefs.value("view/textSize").toInt(), 1);
    ASSERT_TRUE(win->writeini().ok());
    std::ifstream ini(dir / "Kestle.ini");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(ini), {}).find("ext"), std::string::npos);
    preferTextSizeStep(0);
}

} // namespace
} // namespace kestle::ui::test
