#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds with warnings as errors under AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every test; then builds the code with
# threads under ThreadSanitizer and runs its tests. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh

build=build/test
# The benchmarks are built too (not run), so that none falls behind the code.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKESTLE_WERROR=ON -DKESTLE_SANITIZE=ON \
  -DKESTLE_BENCH=ON > /dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: GCC 12's leak checker otherwise now and then
# takes a heap block for an old glibc's TLS header and its tracer crashes at
# exit ("Tracer caught signal 11"), failing a test that passed.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
bash scripts/check-install.sh "$build"

# ThreadSanitizer: the tests of the worker, capture, evidence and review, which
# run the program itself recording and ending, in a build of their own (it
# builds only what it runs). A report fails the test it happens in. The
# libraries are not built with the sanitizer: tests/tsan.supp says how their
# own accesses are left out while the project's are all checked.
tsan=build/tsan
tsan_start=$SECONDS
cmake -S . -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DKESTLE_WERROR=ON -DKESTLE_SANITIZE=thread \
  -DKESTLE_BENCH=OFF > /dev/null
cmake --build "$tsan" -j"$(nproc)"
G_SLICE=always-malloc \
  TSAN_OPTIONS="ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp history_size=7" \
  ctest --test-dir "$tsan" --output-on-failure -j"$(nproc)" --timeout 900
echo "ThreadSanitizer step: $((SECONDS - tsan_start)) s"
