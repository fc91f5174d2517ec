#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the hostile bags (from a small honest night written by bag_bench)
# and prints, for each, what `kestle --verify` says and how long --verify,
# --report, --review (offscreen, via bag_bench review) and --replay-session
# take, with their peak memory:   bench/hostile_bags.sh BUILD WORK
set -uo pipefail
build=${1:-build/rel}
work=${2:-/tmp/kestle-hostile}
kestle=$build/src/kestle
bench=$build/bench/bag_bench
rm -rf "$work" && mkdir -p "$work/outside" "$work/tmp" "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
echo secret > "$work/outside/secret.txt"
"$bench" journal "$work/base" 2000 > /dev/null || exit 1
base=$(ls -d "$work"/base/*/ 2>/dev/null | head -1)
[ -f "$work/base/bagit.txt" ] && base=$work/base
base=${base%/}

# Re-lists data/trace.gz in the manifests, so that only what is asked is wrong.
reseal_trace() {
  local b=$1 sum
  sum=$(sha256sum "$b/data/trace.gz" | cut -d' ' -f1)
  grep -v ' data/trace.gz$' "$b/manifest-sha256.txt" > "$b/m" || true
  echo "$sum  data/trace.gz" >> "$b/m" && mv "$b/m" "$b/manifest-sha256.txt"
  local bytes files
  bytes=$(find "$b/data" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
  files=$(find "$b/data" -type f | wc -l)
  sed -i "s/^Payload-Oxum: .*/Payload-Oxum: $bytes.$files/" "$b/bag-info.txt"
  sum=$(sha256sum "$b/bag-info.txt" | cut -d' ' -f1)
  sed -i "s/^[0-9a-f]*  bag-info.txt\$/$sum  bag-info.txt/" "$b/tagmanifest-sha256.txt"
  sum=$(sha256sum "$b/manifest-sha256.txt" | cut -d' ' -f1)
  sed -i "s/^[0-9a-f]*  manifest-sha256.txt\$/$sum  manifest-sha256.txt/" "$b/tagmanifest-sha256.txt"
}

make_bag() {
  local name=$1 b=$work/$1
  cp -a "$base" "$b"
  case $name in
    dir-symlink-out) ln -s "$work/outside" "$b/data/captures/out" ;;
    file-symlink) ln -s "$work/outside/secret.txt" "$b/data/notes.txt" ;;
    dev-zero) rm -f "$b/data/trace.gz" && ln -s /dev/zero "$b/data/trace.gz" ;;
    fifo) rm -f "$b/data/trace.gz" && mkfifo "$b/data/trace.gz" ;;
    gzip-bomb)
      # Trace lines, so that the inflated limit (not a line's) is what ends it.
      yes '> 00 00 00 00 01 0A 00 1E' | head -c 10000000000 | gzip -1 > "$b/data/trace.gz"
      reseal_trace "$b" ;;
    second-manifest)
      sed 's/^[0-9a-f]*  /00000000000000000000000000000000  /' "$b/manifest-sha256.txt" \
        > "$b/manifest-md5.txt" ;;
    duplicate-entry) head -1 "$b/manifest-sha256.txt" >> "$b/manifest-sha256.txt" ;;
    fetch-txt) echo "http://example.org/x 5 data/x.bin" > "$b/fetch.txt" ;;
    dotdot-path) echo "0000000000000000000000000000000000000000000000000000000000000000  data/../../outside/secret.txt" >> "$b/manifest-sha256.txt" ;;
  esac
}

measure() { # LABEL COMMAND...: seconds, peak RSS, exit
  local label=$1
  shift
  /usr/bin/time -o "$work/time.txt" -f '%e s, peak %M KB, exit %x' timeout 120 "$@" \
    > "$work/out.txt" 2> "$work/err.txt"
  printf '    %-16s %s: %s\n' "$label" "$(tail -1 "$work/time.txt")" \
    "$(grep -v '^$' "$work/err.txt" | head -1 | cut -c1-150)"
}

for name in dir-symlink-out file-symlink dev-zero fifo gzip-bomb second-manifest duplicate-entry fetch-txt dotdot-path; do
  make_bag "$name"
  b=$work/$name
  "$kestle" --verify "$b" > "$work/v.out" 2> "$work/v.err"
  rc=$?
  echo "$name: --verify exit $rc: $(cat "$work/v.out" "$work/v.err" | grep -v '^$' | grep -v 'the bag is' | head -2 | tr '\n' ' ')"
  before=$(ls -A "$work/tmp" | wc -l)
  export TMPDIR=$work/tmp
  measure --verify "$kestle" --verify "$b"
  measure --report "$kestle" --report "$b" "$work/$name.pdf"
  measure --review env QT_QPA_PLATFORM=offscreen "$bench" review "$b"
  measure --replay-session env QT_QPA_PLATFORM=offscreen "$kestle" --replay-session "$b" --data-dir "$work/replay-$name"
  echo "    temp folder: $before entries before, $(ls -A "$work/tmp" | wc -l) after; $(du -sh "$work/tmp" | cut -f1)"
done
