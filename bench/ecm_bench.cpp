// SPDX-License-Identifier: GPL-3.0-or-later
// ECM costs: the Shuffle button on the default list and on a long user
// list, one word step of get_data without speech (virtual time, so the
// event turns cost only their scheduling), and espeak-ng synthesis of one
// word.
#include <benchmark/benchmark.h>

#include "app/headless_host.h"
#include "device/replay_trace.h"
#include "ecm/default_words.h"
#include "ecm/speech_espeak.h"
#include "ecm/word_engine.h"
#include "ecm/word_list_ops.h"
#include "support/virtual_scheduler.h"

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kestle;

void BM_ShuffleDefaultList(benchmark::State& state) {
    Rnd rnd;
    for (auto _ : state) {
        auto out = ecm::shuffled(ecm::defaultWordList(), rnd);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ShuffleDefaultList)->Unit(benchmark::kMicrosecond);

void BM_Shuffle100000(benchmark::State& state) {
    std::vector<std::string> list;
    for (int i = 0; i < 100000; ++i)
        list.push_back("entry" + std::to_string(i) + " ");
    Rnd rnd;
    for (auto _ : state) {
        auto out = ecm::shuffled(list, rnd);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Shuffle100000)->Unit(benchmark::kMillisecond);

void BM_WordStep(benchmark::State& state) {
    VirtualScheduler sched;
    forms::MainForm f(sched);
    forms::MainState st;
    std::ostringstream said;
    app::HeadlessHost host(said);
    device::ReplayLink link(sched, {});
    device::Acquisition acq(sched, host, link, f, st);
    Rnd rnd;
    ecm::NullSpeech speech;
    ecm::WordEngine engine(sched, f, st, host, acq, rnd, speech, "list.txt");
    engine.loadlist();
    st.repeat_word = 10;
    int i = 0;
    for (auto _ : state) {
        st.nochange = 0;
        st.rfhit = 0;
        st.ava1 = 100 + (i++ % 900);
        st.avb1 = 100;
        f.main_display->setText("");
        // get_data's housekeeping keeps the review text under 31000 characters.
        if (f.veiwlog->text().size() > 31000)
            f.veiwlog->setText("");
        device::Task t = engine.wordStage();
        t.start();
        while (!t.done() && sched.runOne()) {
        }
        benchmark::DoNotOptimize(engine.lastWord());
    }
}
BENCHMARK(BM_WordStep)->Unit(benchmark::kMicrosecond);

void BM_SynthesizeWord(benchmark::State& state) {
    for (auto _ : state) {
        auto samples = ecm::synthesizeSpeech("soldier ");
        if (!samples) {
            state.SkipWithError(samples.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(samples->data());
    }
}
BENCHMARK(BM_SynthesizeWord)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
