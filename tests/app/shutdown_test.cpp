// SPDX-License-Identifier: GPL-3.0-or-later
// The three shutdown paths of the main window, driven directly.
#include "app/headless_host.h"
#include "app/main_window.h"
#include "app_run.h"
#include "device/sim_kestle.h"
#include "support/virtual_scheduler.h"

namespace kestle::app {
namespace {

using test::AppFolder;
namespace fs = std::filesystem;

struct Running {
    explicit Running(const AppFolder& app) : host(out) {
        app.setIni("[NAG]\r\nNAGSCREEN=3\r\n");
        Paths paths{app.dir(), app.data(), app.dir() / "list.txt"};
        Options o;
        o.headless = true;
        o.speech = "none";
        o.capture = "none";
        auto link = std::make_unique<device::SimKestle>(sched, 1, 1);
        sim = link.get();
        auto backends = makeBackends(o, sched);
        backends->link = std::move(link);
        win = std::make_unique<MainWindow>(sched, host, paths, o, std::move(*backends));
        win->start();
        sched.advance(0);
    }
    // Starts constant mode and runs into the middle of a scope burst.
    void runIntoABurst() {
        win->main().Option1[7]->click();
        sched.advance(200);
        ASSERT_TRUE(win->acquisition().cycleRunning());
        ASSERT_EQ(win->state().outbuf[1], '=');
    }

    VirtualScheduler sched;
    std::ostringstream out;
    HeadlessHost host;
    device::SimKestle* sim = nullptr;
    std::unique_ptr<MainWindow> win;
};

TEST(Shutdown, ExitInTheMiddleOfACycleStopsEverythingAndStoresTheSettings) {
    AppFolder app;
    Running r(app);
    ASSERT_TRUE(r.win->main().shown());
    ASSERT_TRUE(r.win->logs().isOpen(records::Log::Data));
    r.runIntoABurst();
    r.win->main().bands[3]->setChecked(true);
    int ended = 0;
    r.win->onEnded = [&] { ++ended; };
    r.win->main().exout->click();
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(r.win->ended());
    EXPECT_FALSE(r.win->main().shown());
    EXPECT_FALSE(r.win->main().speechtimer->enabled());
    EXPECT_FALSE(r.win->main().asktimer->enabled());
    EXPECT_FALSE(r.win->main().htime->enabled());
    EXPECT_FALSE(r.win->acquisition().cycleRunning());
    EXPECT_FALSE(r.win->logs().isOpen(records::Log::Data));
    EXPECT_EQ(r.win->state().state, 0);
    EXPECT_NE(app.iniText().find("\r\nLOWHZ2=True\r\n"), std::string::npos);
    EXPECT_NE(app.iniText().find("NAGSCREEN=4"), std::string::npos);
    const std::string tail = r.out.str().substr(r.out.str().size() - 38);
    EXPECT_EQ(tail, "CAPTURE Audio.Stop\nCAPTURE Video.Stop\n");
    // Nothing runs after the end: no timer, no device answer reaches the forms.
    const auto inbuf = r.win->state().inbuf;
    r.sched.advance(2000);
    EXPECT_EQ(r.win->state().inbuf, inbuf);
}

TEST(Shutdown, UnloadAndTerminateAlsoUnloadTheOtherForms) {
    for (bool unload : {true, false}) {
        AppFolder app;
        Running r(app);
        r.win->main().abdd->click();
        ASSERT_TRUE(r.win->about().shown());
        r.win->vid2().setShown(true);
        if (unload)
            r.win->Form_Unload();
        else
            r.win->Form_Terminate();
        EXPECT_TRUE(r.win->ended());
        EXPECT_FALSE(r.win->about().shown());
        EXPECT_FALSE(r.win->vid2().shown());
        EXPECT_FALSE(r.win->cvform().shown());
        EXPECT_FALSE(r.win->logs().isOpen(records::Log::Data));
        EXPECT_NE(app.iniText().find("NAGSCREEN=4"), std::string::npos);
    }
}

TEST(Shutdown, ExitLeavesTheAboutBoxAsItWas) {
    AppFolder app;
    Running r(app);
    r.win->main().abdd->click();
    r.win->exout_Click();
    EXPECT_TRUE(r.win->about().shown()); // only Unload and Terminate unload forms
}

TEST(Shutdown, AFailingSettingsWriteDoesNotStopTheShutdown) {
    AppFolder app;
    Running r(app);
    // A folder where the settings file should be: every write fails.
    fs::remove(app.ini());
    fs::create_directories(app.ini());
    r.win->exout_Click();
    EXPECT_TRUE(r.win->ended());
    EXPECT_FALSE(r.win->logs().isOpen(records::Log::Data));
    EXPECT_TRUE(fs::is_directory(app.ini()));
}

TEST(Shutdown, UnplugInTheMiddleOfABurstShowsTheFrameAndPlugResumes) {
    AppFolder app;
    Running r(app);
    r.runIntoABurst();
    r.sim->unplug();
    r.sched.advance(1);
    EXPECT_TRUE(r.win->main().Frame7->visible());
    EXPECT_EQ(r.win->state().state, 0);
    EXPECT_FALSE(r.win->acquisition().cycleRunning());
    const std::string before = r.win->main().CHA_DSP->text() + r.win->state().emfC;
    r.sched.advance(1000);
    r.sim->plug();
    r.sched.advance(1000);
    EXPECT_FALSE(r.win->main().Frame7->visible());
    EXPECT_NE(r.win->main().CHA_DSP->text() + r.win->state().emfC, before);
    r.win->exout_Click();
}

} // namespace
} // namespace kestle::app
