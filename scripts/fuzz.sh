#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one fuzz target under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer:   scripts/fuzz.sh TARGET SECONDS
# TARGET is settings, userlist, trace, script, decode, avi, bag or remote (tests/fuzz/TARGET_fuzz.cpp).
# Installs clang from Debian's packages when missing, builds in build/fuzz,
# starts from the corpus in tests/fuzz/corpus/TARGET and keeps what it finds
# in build/fuzz/corpus/TARGET; inputs that fail land in build/fuzz/artifacts/TARGET.
# Prints the runs, the crashes and the sanitizer reports at the end; exits
# non-zero when anything failed. Add a failing input to the corpus (and a
# test) once it is mended: ctest replays the corpus on every change.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS}
if [ ! -f "tests/fuzz/${target}_fuzz.cpp" ]; then
  echo "no fuzz target tests/fuzz/${target}_fuzz.cpp" >&2
  exit 2
fi

bash scripts/install-deps.sh
missing=()
for p in clang-14 libclang-rt-14-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTLE_FUZZ=ON -DKESTLE_SANITIZE=ON -DKESTLE_BENCH=OFF > /dev/null
cmake --build "$build" --target "${target}_fuzz" -j"$(nproc)"

work="$build/corpus/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$work" "$artifacts"
log="$build/$target.log"
dict=()
if [ -f "tests/fuzz/$target.dict" ]; then dict=("-dict=tests/fuzz/$target.dict"); fi

export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: clang 14's leak checker, like GCC 12's, otherwise
# now and then takes a heap block for an old glibc's TLS header and its
# tracer crashes at exit ("Tracer caught signal 11").
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
set +e
"$build/tests/${target}_fuzz" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
  "$work" "tests/fuzz/corpus/$target" > "$log" 2>&1
status=$?
set -e

runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
crashes=$(find "$artifacts" -type f | wc -l)
reports=$(grep -c -E '^(==[0-9]+==ERROR: [A-Za-z]*Sanitizer|.*runtime error:)' "$log" || true)
echo "$target: ${seconds} s, runs $runs, crashes $crashes, sanitizer reports $reports," \
  "corpus $(find "$work" -type f | wc -l) new inputs (log: $log)"
if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
  tail -40 "$log"
  exit 1
fi
