// SPDX-License-Identifier: GPL-3.0-or-later
// "View" > "Remote View...": the dialog starts the server, shows a link and
// its code that pair one device, lists it, drops it, makes another link,
// and warns before plain HTTP.
// The rig first: the simulated Kestle's signals() before Qt's keyword.
#include "window_rig.h"

#include "remote/clients.h"
#include "ui/remote_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace kestle::ui::test {
namespace {

using RemoteDialogTest = MainViewTest;

TEST_F(RemoteDialogTest, PairsOneDeviceALinkAtATimeListsAndDropsItAndWarnsBeforePlainHttp) {
    remote::RemoteView remote(*win);
    QAction* item = action("Remote View...");
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->isEnabled());
    auto* dialog = new RemoteDialog(remote, view.get());
    view->setRemoteView(dialog);
    ASSERT_TRUE(item->isEnabled());
    // As --remote asks, before the main window shows: not beside the
    // disclaimer, but in front of the main window once that shows.
    view->hide();
    view->openRemoteView();
    settle();
    EXPECT_FALSE(dialog->isVisible());
    view->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible(); }, 5000));
    dialog->hide();
    item->trigger();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->linkLabel().text().isEmpty()) << "off until started";

    dialog->startButton().click();
    ASSERT_TRUE(remote.server().listening()) << dialog->errorLabel().text().toStdString();
    EXPECT_EQ(dialog->startButton().text(), "Stop");
    const QString link = dialog->linkLabel().text();
    EXPECT_TRUE(link.startsWith("https://")) << link.toStdString();
    const QPixmap qr = dialog->qrLabel().pixmap();
    ASSERT_FALSE(qr.isNull());
    EXPECT_GE(qr.width(), (21 + 8) * 4);
    // Shown whole, over nothing else: a cut code does not scan.
    settle();
    EXPECT_GE(dialog->qrLabel().contentsRect().height(), qr.height());
    EXPECT_GE(dialog->qrLabel().contentsRect().width(), qr.width());
    for (const QLabel* text : {&dialog->linkLabel(), &dialog->fingerprintLabel()})
        EXPECT_FALSE(text->geometry().intersects(dialog->qrLabel().geometry()));
    EXPECT_TRUE(
        dialog->fingerprintLabel().text().contains(QString::fromStdString(remote.fingerprint())));
    EXPECT_EQ(remote.fingerprint().size(), 32u * 3 - 1);

    // The loopback link pairs this test's client; the dialog lists it and
    // says the link is used.
    const std::string local = remote.pairingUrls().back();
    ASSERT_NE(local.find("https://127.0.0.1:"), std::string::npos) << local;
    const auto paired = remote::test::exchange(
        remote.server().port(),
        remote::test::get(QByteArray::fromStdString(local.substr(local.find("/pair")))), true);
    ASSERT_EQ(paired.status, 303);
    ASSERT_EQ(dialog->deviceList().count(), 1);
    EXPECT_TRUE(dialog->deviceList().item(0)->text().endsWith("127.0.0.1"));
    EXPECT_TRUE(dialog->qrLabel().pixmap().isNull());
    EXPECT_TRUE(dialog->linkLabel().text().contains("Pair Another"));
    dialog->pairAnotherButton().click();
    EXPECT_TRUE(dialog->linkLabel().text().startsWith("https://"));
    EXPECT_NE(dialog->linkLabel().text(), link);
    EXPECT_FALSE(dialog->dropButton().isEnabled()) << "nothing chosen";
    dialog->deviceList().setCurrentRow(0);
    ASSERT_TRUE(dialog->dropButton().isEnabled());
    dialog->dropButton().click();
    EXPECT_EQ(dialog->deviceList().count(), 0);
    EXPECT_TRUE(remote.server().devices().empty());

    // Stopping drops all; plain HTTP is said to be readable by anyone.
    dialog->startButton().click();
    EXPECT_FALSE(remote.server().listening());
    EXPECT_TRUE(dialog->linkLabel().text().isEmpty());
    QLabel* warning = nullptr;
    for (QLabel* l : dialog->findChildren<QLabel*>())
        if (l->text().contains("anyone on this network"))
            warning = l;
    ASSERT_NE(warning, nullptr);
    EXPECT_FALSE(warning->isVisible());
    dialog->plainBox().setChecked(true);
    EXPECT_TRUE(warning->isVisible());
    dialog->startButton().click();
    ASSERT_TRUE(remote.server().listening());
    EXPECT_TRUE(dialog->linkLabel().text().startsWith("http://"));
    EXPECT_TRUE(dialog->fingerprintLabel().text().isEmpty());
}

} // namespace
} // namespace kestle::ui::test
