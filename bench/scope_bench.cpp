// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of building one scope picture: 100 ms per division on the designed
// box with all three traces shown, the heaviest drawing the menus allow.
#include <benchmark/benchmark.h>

#include "scope/drawing.h"

namespace {

void BM_ScopeLines100ms(benchmark::State& state) {
    using namespace kestle::scope;
    ScopeTraces traces;
    for (std::size_t i = 1; i < kTraceSize; ++i) {
        traces.scopeab[i] = static_cast<std::int16_t>((i * 37) % 2000);
        traces.scopea[i] = static_cast<std::int16_t>((i * 53) % 2000);
        traces.scopeb[i] = static_cast<std::int16_t>((i * 71) % 2000);
    }
    const int spacing = pointSpacing(false, false, false, true);
    for (auto _ : state) {
        auto lines = scopeLines(traces, kDesignedScaleWidth, kDesignedScaleHeight, spacing, true,
                                true, true);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_ScopeLines100ms);

} // namespace

BENCHMARK_MAIN();
