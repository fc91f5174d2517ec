// SPDX-License-Identifier: GPL-3.0-or-later
#include "records_rig.h"

namespace kestle::records::test {
namespace {

using ScreenText = RecordsTest;

TEST_F(ScreenText, CaptureStoresTheDisplayUnderStampAndSessionNumber) {
    f.main_display->setText("User: hello\r\nsome words ");
    f.question->setEnabled(false);
    f.Save_Main_display->click();
    rec.saveDisplay(); // the same second: the number keeps them apart
    ASSERT_THAT(renderer.calls, ElementsAre(data / (kFileStamp + "_1 CVSCREEN.jpg"),
                                            data / (kFileStamp + "_2 CVSCREEN.jpg")));
    EXPECT_EQ(fileText(renderer.calls[0]), "User: hello\r\nsome words ");
    EXPECT_TRUE(fs::exists(renderer.calls[1]));
    EXPECT_EQ(st.session, 2);
    EXPECT_EQ(st.tem, kFileStamp);
    EXPECT_EQ(f.main_display->text(), "User: hello\r\nsome words ");
    EXPECT_TRUE(f.question->enabled());
    EXPECT_THAT(host.focused, ElementsAre("question", "question"));
    EXPECT_FALSE(cv.shown());
    EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(ScreenText, AUserWordListPreventsAnyCapture) {
    st.usword = 1;
    f.question->setEnabled(false);
    f.Save_Main_display->click();
    EXPECT_THAT(renderer.calls, IsEmpty());
    EXPECT_EQ(st.session, 0);
    EXPECT_FALSE(f.question->enabled());
    EXPECT_TRUE(fs::is_empty(data));
}

TEST_F(ScreenText, AFailedCaptureNamesTheFileAndTheReason) {
    NoPictureOutput none;
    renderer.failWith = none.render("text", data / "x.jpg").error();
    rec.saveDisplay();
    EXPECT_THAT(host.messages, ElementsAre("The Kestle|The screen capture " + appath + kFileStamp +
                                           "_1 CVSCREEN.jpg could not be stored: picture output "
                                           "is not available"));
    EXPECT_TRUE(fs::is_empty(data));
    EXPECT_EQ(st.session, 1);
}

TEST_F(ScreenText, ClearReviewAndView) {
    f.main_display->setText("words ");
    f.veiwlog->setText("more words ");
    f.question->setEnabled(false);
    f.clear_main->click();
    EXPECT_EQ(f.main_display->text() + f.veiwlog->text(), "");
    EXPECT_TRUE(f.question->enabled());
    f.logtext->setChecked(true);
    f.logtext->click();
    EXPECT_FALSE(f.logtext->checked() || f.veiwlog->visible());
    f.logtext->click();
    EXPECT_TRUE(f.logtext->checked() && f.veiwlog->visible());
    f.veiwall->click();
    host.canOpen = false;
    f.veiwall->click();
    EXPECT_THAT(host.opened, ElementsAre(data, data));
    EXPECT_THAT(host.messages, ElementsAre(HasSubstr("data folder " + appath)));
}

} // namespace
} // namespace kestle::records::test
