// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window's worth of ECM parts on virtual time: the form models, a
// replayed Kestle, the acquisition, a recording host and speech, and the
// word engine under test.
#include "device/replay_trace.h"
#include "ecm/word_engine.h"
#include "fakes/cancelled_dialogs.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestle::ecm::testing {

// Messages and status lines as one string each: "MSGBOX text", "STATUS text".
class RecordingHost : public kestle::test::CancelledDialogs {
  public:
    std::vector<std::string> lines;

    void messageBox(const std::string&, const std::string& text,
                    std::function<void()> done) override {
        lines.push_back("MSGBOX " + text);
        if (done)
            done();
    }
    void inputBox(const std::string&, const std::string&, const std::string&,
                  std::function<void(std::optional<std::string>)> done) override {
        done(std::nullopt);
    }
    void status(const std::string& text) override { lines.push_back("STATUS " + text); }
    void event(const std::string& line) override { lines.push_back(line); }
    bool openWithDefaultProgram(const std::filesystem::path&) override { return false; }
    bool startProgram(const std::filesystem::path&) override { return false; }
};

// Records calls as "N text" for Speak and "quiet N" for member 36.
class FakeSpeech : public Speech {
  public:
    std::vector<std::string> calls;
    std::string error;

    void speak(int voice, const std::string& text) override {
        calls.push_back(std::to_string(voice) + " " + text);
    }
    void quiet(int voice) override { calls.push_back("quiet " + std::to_string(voice)); }
    std::string firstError() const override { return error; }
};

class EngineTest : public ::testing::Test {
  protected:
    // `trace` feeds the replayed Kestle (one "> .." line per answer).
    explicit EngineTest(const std::string& trace = "") {
        auto parsed = device::parseTrace(trace);
        EXPECT_TRUE(parsed.ok()) << parsed.error();
        link = std::make_unique<device::ReplayLink>(sched, parsed.ok() ? *parsed : device::Trace{});
        acq = std::make_unique<device::Acquisition>(sched, host, *link, f, st);
        engine = std::make_unique<WordEngine>(sched, f, st, host, *acq, rnd, speech, userList());
        acq->stages.wordSelection = [this] { return engine->wordStage(); };
        acq->stages.phoneme = [this] { engine->htime_Tick(); };
        st.repeat_word = 10;
        st.offset = 5;
        f.setShown(true);
    }
    ~EngineTest() override {
        // The acquisition's waiter may still hold a suspended step.
        acq.reset();
        engine.reset();
    }

    // Rebuilds the engine on other speech (the handlers and stages follow).
    void useSpeech(Speech& other) {
        engine.reset();
        engine = std::make_unique<WordEngine>(sched, f, st, host, *acq, rnd, other, userList());
    }

    static std::filesystem::path userList() {
        return std::filesystem::temp_directory_path() /
               ("kestle-ecm-list-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                ".txt");
    }

    // Runs a task to its end on virtual time; its result.
    bool run(device::Task t) {
        t.start();
        while (!t.done() && sched.runOne()) {
        }
        EXPECT_TRUE(t.done());
        return t.result();
    }

    // One word stage with a due word from the given voltage levels.
    void voltageWord(double a, double b) {
        st.ava1 = a;
        st.avb1 = b;
        st.nochange = 0;
        st.rfhit = 0;
        run(engine->wordStage());
    }

    void connect() {
        acq->connect_hid();
        sched.advance(1);
    }

    VirtualScheduler sched;
    forms::MainForm f{sched};
    forms::MainState st;
    RecordingHost host;
    FakeSpeech speech;
    Rnd rnd;
    std::unique_ptr<device::ReplayLink> link;
    std::unique_ptr<device::Acquisition> acq;
    std::unique_ptr<WordEngine> engine;
};

} // namespace kestle::ecm::testing
