// SPDX-License-Identifier: GPL-3.0-or-later
// The live picture widget and the set-up form's window (offscreen).
// The rig first: the simulated Kestle has a member named as a Qt keyword.
#include "window_rig.h"

#include "capture/setup_form.h"
#include "forms/vid2_form.h"
#include "ui/layouts.h"
#include "ui/main_view.h"
#include "ui/qt_host.h"
#include "ui/video_preview.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <array>
#include <fstream>

namespace {

using kestle::capture::PreviewLook;
using kestle::capture::VideoFrame;

// A picture 4 x 2 whose left half is red and right half blue.
std::shared_ptr<const VideoFrame> redBlue() {
    static const std::array<std::uint32_t, 8> px = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF,
                                                    0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
    auto f = std::make_shared<VideoFrame>();
    f->width = 4;
    f->height = 2;
    f->stride = 16;
    f->pixels = reinterpret_cast<const std::uint8_t*>(px.data());
    return f;
}

TEST(VideoPreviewWidget, ShowsThePictureOrTheMessageOnlyWhileVisible) {
    QWidget window;
    kestle::ui::VideoPreview p(&window);
    p.setGeometry(0, 0, 200, 200);
    window.show();
    EXPECT_FALSE(p.isVisible()); // nothing to show yet
    PreviewLook look;
    look.message = "No camera found";
    look.backColor = 0x00FF00;
    p.setLook(look);
    EXPECT_TRUE(p.isVisible());

    look.message.clear();
    p.setLook(look);
    p.showFrame(redBlue());
    QImage shot = p.grab().toImage();
    // Kept in proportion: a 200 x 100 picture in the middle, green around.
    EXPECT_EQ(shot.pixelColor(100, 20), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(40, 100), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(160, 100), QColor(0, 0, 255));
    look.keepAspectRatio = false;
    p.setLook(look);
    shot = p.grab().toImage();
    EXPECT_EQ(shot.pixelColor(40, 20), QColor(255, 0, 0));

    look.visible = false;
    p.setLook(look);
    EXPECT_FALSE(p.isVisible());
    look.visible = true;
    p.setLook(look);
    p.showFrame(nullptr);
    EXPECT_FALSE(p.isVisible());
}

TEST(SetupWindow, PagesCarryTheirControlsAndAChoiceRunsTheListsHandler) {
    kestle::forms::Vid2Form form;
    for (const char* r : {"No Rotation", "90-degree rotation without flipping"})
        form.cborotate->addItem(r);
    form.cborotate->select(0);
    int clicks = 0;
    form.cborotate->onClick = [&] { ++clicks; };
    kestle::ui::FormView view(form, kestle::ui::setupLayout(), kestle::ui::kSetupWidth,
                              kestle::ui::kSetupHeight);
    auto* tabs = view.findChild<QTabWidget*>();
    ASSERT_TRUE(tabs);
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(1), "Screen Text");
    auto* rotate = qobject_cast<QComboBox*>(view.widgetFor("cborotate"));
    ASSERT_TRUE(rotate);
    EXPECT_EQ(rotate->parentWidget(), tabs->widget(0));
    EXPECT_EQ(rotate->count(), 2);
    emit rotate->activated(1);
    EXPECT_EQ(form.cborotate->selected(), 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(view.widgetFor("txtText")->parentWidget(), tabs->widget(1));
    // Every control of the form has its place on a page.
    for (kestle::forms::Control* c : form.controls()) {
        if (c->parent() && c->parent()->parent() == form.SSTab1) {
            EXPECT_TRUE(kestle::ui::setupLayout().count(c->name())) << c->name();
        }
    }
}

} // namespace

namespace kestle::ui::test {
namespace {

// A first start in a folder of its own (--app-dir) that holds BOX.BMP: the
// set-up form shows that picture as its overlay, and the settings keep it.
TEST_F(MainViewTest, AFirstStartShowsTheOverlayPictureOfItsFolder) {
    const fs::path folder = dir / "first";
    fs::create_directories(folder);
    fs::copy_file(fs::path(KESTLE_TEST_DATA) / ".." / "assets" / "BOX.BMP", folder / "BOX.BMP");
    auto first = makeWindow(folder);
    FormView setup(first->vid2(), setupLayout(), kSetupWidth, kSetupHeight);
    first->start(); // no settings yet: the disclaimer
    first->splash().Check2->click();
    first->splash().Command1->click();
    ASSERT_TRUE(first->main().shown());
    setup.flushNow();
    auto* box = qobject_cast<QLineEdit*>(setup.widgetFor("txtimage"));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text().toStdString(), (folder / "BOX.BMP").string());
    ASSERT_TRUE(first->writeini().ok());
    std::ifstream ini(folder / "Kestle.ini", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(ini), {}};
    EXPECT_NE(text.find("V3=" + (folder / "BOX.BMP").string() + "\r\n"), std::string::npos);
}

} // namespace
} // namespace kestle::ui::test

namespace kestle::ui::test {
namespace {

// The set-up form shows the live picture itself ("Preview" is seen where
// the overlays are set), and its file dialog opens in the data folder with
// ".avi" for a name typed without an extension.
TEST_F(MainViewTest, TheSetupFormShowsThePictureAndCapturesIntoTheDataFolder) {
    DialogView setup(win->vid2(), setupLayout(), kSetupWidth, kSetupHeight, {}, view.get());
    view->addPreviewTo(setup.formView());
    setup.show();
    static const std::array<std::uint32_t, 4> green = {0x00C000, 0x00C000, 0x00C000, 0x00C000};
    auto frame = std::make_shared<capture::VideoFrame>();
    frame->width = 2;
    frame->height = 2;
    frame->stride = 8;
    frame->pixels = reinterpret_cast<const std::uint8_t*>(green.data());
    view->previewTarget().showFrame(frame);
    settle();
    const QImage shot = setup.grab().toImage();
    const QPoint middle = setup.formView().mapTo(
        &setup,
        QPoint((kSetupPreview.left + kSetupPreview.width / 2) * setup.formView().scale() / 15,
               (kSetupPreview.top + kSetupPreview.height / 2) * setup.formView().scale() / 15));
    EXPECT_EQ(shot.pixelColor(middle), QColor(0x00, 0xC0, 0x00));
    EXPECT_EQ(view->preview().framesShown(), 1); // the main window's too

    QtHost host(view.get());
    host.setDialogFolder(dir / "data");
    std::optional<std::string> chosen;
    host.fileDialog("Capture File", capture::kAviFilter, [&](auto f) { chosen = f; });
    QFileDialog* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible())
            dialog = d;
    ASSERT_TRUE(dialog);
    EXPECT_EQ(fs::path(dialog->directory().absolutePath().toStdString()),
              fs::canonical(dir / "data"));
    EXPECT_EQ(dialog->defaultSuffix(), "avi");
    dialog->selectFile("night one");
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(fs::path(*chosen), fs::canonical(dir / "data") / "night one.avi");
}

// A recording is shown in the status line, over which no control stands,
// with its size once measured; the caption keeps the program's name; and
// closing while a session or a recording runs asks first.
TEST_F(MainViewTest, ARecordingIsSeenTheCaptionNamesTheProgramAndClosingAsksFirst) {
    win->main().alarm13->click(); // the alarm window over the live picture
    const fs::path file = dir / "data" / "night.avi";
    std::ofstream(file, std::ios::binary) << std::string(3'000'000, 'x');
    win->events().publish(events::RecordingStarted{events::Media::Video, file.string()});
    RecordingIndicator& rec = view->recordingIndicator();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.text().contains("3 MB"); }, 10000))
        << rec.text().toStdString();
    settle();
    EXPECT_TRUE(rec.isVisible());
    EXPECT_TRUE(rec.text().startsWith("REC video night.avi 0:0"));
    EXPECT_TRUE(rec.text().contains(" free"));
    const QRect where(rec.mapTo(view.get(), QPoint(0, 0)), rec.size());
    EXPECT_TRUE(view->rect().contains(where));
    EXPECT_FALSE(where.intersects(QRect(view->centralWidget()->mapTo(view.get(), QPoint(0, 0)),
                                        view->centralWidget()->size())));

    win->main().setCaption("Audio Recording On");
    settle();
    EXPECT_TRUE(view->windowTitle().startsWith("Audio Recording On - The Vantic Kestle"))
        << view->windowTitle().toStdString();

    // Closing asks; Cancel keeps everything running, Close ends it.
    auto ask = [&] {
        view->close();
        settle();
        return view->findChild<QMessageBox*>("confirmClose");
    };
    QMessageBox* box = ask();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().contains("a recording is running"));
    EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
              box->button(QMessageBox::Cancel));
    box->button(QMessageBox::Cancel)->click();
    settle();
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(win->ended());
    win->events().publish(events::RecordingFinished{events::Media::Video, file.string(), {}});
    EXPECT_FALSE(rec.isVisible());
    win->main().Option1[7]->click(); // a constant session
    box = ask();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->text().contains("a session is running"));
    for (QAbstractButton* b : box->buttons())
        if (b->text() == "Close")
            b->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return win->ended(); }, 5000));
}

} // namespace
} // namespace kestle::ui::test
