#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors under AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every test. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh

build=build/test
# The benchmarks are built too (not run), so that none falls behind the code.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKESTLE_WERROR=ON -DKESTLE_SANITIZE=ON \
  -DKESTLE_BENCH=ON > /dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
bash scripts/check-install.sh "$build"
