// SPDX-License-Identifier: GPL-3.0-or-later
// The read rate around an unplug and a plug of the simulated Kestle in real
// time, through the real cycle code: readings (answers to ">") per second
// before the unplug, while it is away, in the first second after the plug
// and later, and how long after the plug the first reading came.
//
//   build/bench/bench/replug_bench [RUNS]
#include "app/headless_host.h"
#include "device/acquisition.h"
#include "device/sim_kestle.h"
#include "support/realtime_scheduler.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

using namespace kestle;

// The simulated Kestle, noting when each reading came.
struct TimedKestle : device::SimKestle {
    TimedKestle(Scheduler& s) : SimKestle(s, 1, 1) {}
    bool read(device::DeviceHandle h, device::Report& in) override {
        const bool ok = SimKestle::read(h, in);
        if (ok && lastRequest == '>')
            readings.push_back(scheduler().nowMs());
        return ok;
    }
    Status writeEx(int v, int p, const device::Report& out) override {
        lastRequest = static_cast<char>(out[1]);
        return SimKestle::writeEx(v, p, out);
    }
    char lastRequest = 0;
    std::vector<Millis> readings;
};

struct Run {
    double before, away, firstSecond, later, firstAfterPlugMs;
};

Run once() {
    constexpr Millis kUnplug = 2000, kPlug = 4000, kEnd = 8000;
    RealTimeScheduler sched;
    forms::MainForm f{sched};
    forms::MainState st;
    std::ostringstream out;
    app::HeadlessHost host{out};
    TimedKestle kestle{sched};
    device::Acquisition acq{sched, host, kestle, f, st};
    f.setShown(true);
    st.repeat_word = 10;
    st.offset = 5;
    st.rfid = 6;
    acq.connect_hid();
    f.speechtimer->setEnabled(true);
    sched.callAfter(kUnplug, [&] { kestle.unplug(); });
    sched.callAfter(kPlug, [&] { kestle.plug(); });
    sched.callAfter(kEnd, [&] {
        f.speechtimer->setEnabled(false);
        acq.disconnect_hid();
        sched.stop();
    });
    sched.run();
    auto rate = [&](Millis from, Millis to) {
        int n = 0;
        for (Millis t : kestle.readings)
            n += t >= from && t < to;
        return n * 1000.0 / static_cast<double>(to - from);
    };
    Millis first = -1;
    for (Millis t : kestle.readings)
        if (t >= kPlug) {
            first = t - kPlug;
            break;
        }
    return {rate(500, kUnplug), rate(kUnplug, kPlug), rate(kPlug, kPlug + 1000),
            rate(kPlug + 1000, kEnd), static_cast<double>(first)};
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    std::printf("readings per second: before unplug | unplugged | first second after plug | "
                "later; first reading after the plug\n");
    for (int i = 0; i < runs; ++i) {
        const Run r = once();
        std::printf("run %d: %6.1f | %5.1f | %6.1f | %6.1f; %4.0f ms\n", i + 1, r.before, r.away,
                    r.firstSecond, r.later, r.firstAfterPlugMs);
    }
    return 0;
}
