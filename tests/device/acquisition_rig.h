// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device side of the main window on a virtual clock: the form models,
// the variables, a host that records what the operator would see, and a
// Kestle (replayed or simulated) behind a link that logs every request.
#include "device/acquisition.h"
#include "device/replay_trace.h"
#include "device/sim_kestle.h"
#include "fakes/cancelled_dialogs.h"
#include "support/virtual_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestle::device::test {

struct RecordingHost : kestle::test::CancelledDialogs {
    void messageBox(const std::string& title, const std::string& text,
                    std::function<void()> done) override {
        lines.push_back("MSGBOX " + title + ": " + text);
        if (done)
            done();
    }
    void inputBox(const std::string& title, const std::string& prompt, const std::string& proposed,
                  std::function<void(std::optional<std::string>)> done) override {
        lines.push_back("INPUTBOX " + title + ": " + prompt + " [" + proposed + "]");
        std::optional<std::string> a;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        done(a);
    }
    void status(const std::string& text) override { statuses.push_back(text); }
    void event(const std::string& line) override { lines.push_back(line); }
    bool openWithDefaultProgram(const std::filesystem::path&) override { return true; }
    bool startProgram(const std::filesystem::path&) override { return true; }

    std::vector<std::string> lines, statuses;
    std::deque<std::optional<std::string>> answers;
};

// Forwards to the Kestle and logs the command character of every request
// that was written, and requests written while an earlier one was still
// unanswered.
struct CountingLink : HidLink {
    void connect(HidEvents e) override { inner->connect(std::move(e)); }
    void disconnect() override { inner->disconnect(); }
    int vendorId(DeviceHandle h) const override { return inner->vendorId(h); }
    int productId(DeviceHandle h) const override { return inner->productId(h); }
    DeviceHandle getHandle(int v, int p) const override { return inner->getHandle(v, p); }
    void setReadNotify(DeviceHandle h, bool on) override { inner->setReadNotify(h, on); }
    bool read(DeviceHandle h, Report& in) override {
        const bool ok = inner->read(h, in);
        if (ok)
            inFlight = false;
        return ok;
    }
    Status writeEx(int v, int p, const Report& out) override {
        Status s = inner->writeEx(v, p, out);
        if (s.ok()) {
            if (inFlight)
                ++overlaps;
            inFlight = true;
            sent += static_cast<char>(out[1]);
        }
        return s;
    }
    std::size_t count(char c) const {
        return static_cast<std::size_t>(std::count(sent.begin(), sent.end(), c));
    }

    std::unique_ptr<EmulatedLink> inner;
    std::string sent;
    bool inFlight = false;
    int overlaps = 0;
};

struct Rig {
    // A replayed Kestle answering from `trace` (the trace file's text).
    explicit Rig(const std::string& trace) {
        auto t = parseTrace(trace);
        EXPECT_TRUE(t.ok()) << (t.ok() ? "" : t.error());
        link.inner = std::make_unique<ReplayLink>(sched, t.ok() ? *t : Trace{});
        load();
    }
    // The simulated Kestle.
    Rig(std::uint32_t seed, Millis latency) {
        link.inner = std::make_unique<SimKestle>(sched, seed, latency);
        load();
    }
    // Any Kestle made on the rig's clock.
    explicit Rig(const std::function<std::unique_ptr<EmulatedLink>(Scheduler&)>& make) {
        link.inner = make(sched);
        load();
    }

    // What the main window's load sequence does for the device side.
    void load() {
        f.setShown(true);
        acq.connect_hid();
        st.repeat_word = 10;
        st.offset = 5;
        st.rfid = 6;
        sched.advance(0);
    }

    // Runs a task to its end (or until nothing is pending); its result.
    bool run(Task t) {
        t.start();
        while (!t.done() && sched.runOne()) {
        }
        return t.result();
    }
    // One speechtimer tick and the cycle it starts, to its end.
    void tick() {
        acq.speechtimer_Timer();
        while (acq.cycleRunning() && sched.runOne()) {
        }
    }
    Pluggable& device() { return *link.inner; }

    VirtualScheduler sched;
    forms::MainForm f{sched};
    forms::MainState st;
    RecordingHost host;
    CountingLink link;
    Acquisition acq{sched, host, link, f, st};
};

// One answer line: the request character and eight bytes.
inline std::string line(char request, std::initializer_list<int> bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string l(1, request);
    for (int b : bytes) {
        l += ' ';
        l += hex[(b >> 4) & 15];
        l += hex[b & 15];
    }
    return l + "\n";
}

// A Kestle whose every answer is steady: channel counts a and b on each
// scope sample, frequencies fa and fb, the raw temperature, four sensors.
inline std::string steadyTrace(int a, int b, int fa, int fb, int temp = 70,
                               std::array<int, 4> s = {500, 500, 500, 500}) {
    return line('=', {a >> 8, a & 255, b >> 8, b & 255, a >> 8, a & 255, b >> 8, b & 255}) +
           line('>', {0, 0, 0, 0, fa >> 8, fa & 255, fb >> 8, fb & 255}) +
           line('%', {0, 0, 0, 0, temp, 0, 0, 0}) +
           line('/', {s[0] >> 8, s[0] & 255, s[1] >> 8, s[1] & 255, s[2] >> 8, s[2] & 255,
                      s[3] >> 8, s[3] & 255});
}

} // namespace kestle::device::test
