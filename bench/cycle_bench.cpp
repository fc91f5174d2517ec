// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the acquisition cycle itself: full cycles (124 exchanges each)
// through the real cycle code against the simulated Kestle answering with no
// latency, on virtual time, with the form models but no window. The scope
// drawing of both bursts is included, as at start-up ("Scope On", 100 ms per
// division, channels A + B). Reports exchanges per second of CPU time and
// the CPU time of one cycle (the time per iteration).
#include <benchmark/benchmark.h>

#include "app/headless_host.h"
#include "device/acquisition.h"
#include "device/sim_kestle.h"
#include "scope/drawing.h"
#include "support/virtual_scheduler.h"

#include <sstream>

namespace {

using namespace kestle;

constexpr int kExchangesPerCycle = 124;

struct Bench {
    Bench() {
        f.setShown(true);
        acq.connect_hid();
        st.repeat_word = 10;
        st.offset = 5;
        st.rfid = 6;
        sched.advance(0);
    }
    void cycle() {
        acq.speechtimer_Timer();
        while (acq.cycleRunning() && sched.runOne()) {
        }
    }
    VirtualScheduler sched;
    forms::MainForm f{sched};
    forms::MainState st;
    std::ostringstream out; // only a STATUS line (a failed exchange) is written
    app::HeadlessHost host{out};
    bool failed() const { return out.str().find("STATUS") != std::string::npos; }
    device::SimKestle sim{sched, 1, 0};
    device::Acquisition acq{sched, host, sim, f, st};
};

void BM_AcquisitionCycle(benchmark::State& state) {
    Bench b;
    b.cycle(); // the first cycle starts from zero levels; warm up on it
    if (b.failed() || b.f.FREQA->text().empty() || b.acq.scopeLines().empty()) {
        state.SkipWithError("the simulated Kestle did not complete a cycle");
        return;
    }
    for (auto _ : state)
        b.cycle();
    if (b.failed())
        state.SkipWithError("an exchange failed during the run");
    state.counters["exchanges/s"] =
        benchmark::Counter(kExchangesPerCycle, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["exchanges/cycle"] = kExchangesPerCycle;
}
BENCHMARK(BM_AcquisitionCycle)->Unit(benchmark::kMicrosecond);

// One scope picture as updscope builds it at start-up, from a real burst.
void BM_ScopeLinesOneCall100ms(benchmark::State& state) {
    Bench b;
    b.cycle();
    const scope::ScopeTraces traces = b.acq.traces();
    const int spacing = scope::pointSpacing(false, false, false, true);
    std::size_t lines = 0;
    for (auto _ : state) {
        auto l = scope::scopeLines(traces, scope::kDesignedScaleWidth, scope::kDesignedScaleHeight,
                                   spacing, true, false, false);
        lines = l.size();
        benchmark::DoNotOptimize(l.data());
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_ScopeLinesOneCall100ms)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
