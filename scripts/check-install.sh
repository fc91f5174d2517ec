#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a staging folder (DESTDIR) and checks what an
# installed copy consists of: the file list, the desktop entry, the AppStream
# metadata, the manual page, the icons, and that the installed program keeps
# its settings in the user's configuration folder across two starts.
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: check-install.sh BUILD_DIR}")
cd "$(dirname "$0")/.."

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr > /dev/null
root=$stage/root/usr

# Exactly these files: no tests, no benchmarks, nothing forgotten.
expected=(
  bin/kestle
  lib/udev/rules.d/70-kestle.rules
  share/applications/org.vantic.Kestle.desktop
  share/doc/kestle/changelog.Debian.gz
  share/doc/kestle/copyright
  share/icons/hicolor/scalable/apps/kestle.svg
  share/kestle/BOX.BMP
  share/kestle/Vantic_Kestle.pdf
  share/lintian/overrides/kestle
  share/man/man1/kestle.1.gz
  share/metainfo/org.vantic.Kestle.metainfo.xml
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/kestle.png")
  got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/kestle.png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f | sed 's|^\./||' | sort) ||
  fail "the installed files differ from the expected list (< expected, > installed)"

desktop-file-validate "$root/share/applications/org.vantic.Kestle.desktop" ||
  fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net "$root/share/metainfo/org.vantic.Kestle.metainfo.xml" > /dev/null ||
  fail "appstreamcli refused the metadata"
warnings=$(zcat "$root/share/man/man1/kestle.1.gz" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/kestle.1.gz" 2>&1)
for section in NAME SYNOPSIS OPTIONS 'SCRIPT COMMANDS' FILES 'EXIT STATUS' EXAMPLES; do
  grep -q "^$section\$" <<< "$page" || fail "the manual page has no $section section"
done

# The installed program: its settings go to $XDG_CONFIG_HOME/kestle, never
# beside the executable, and come back at the next start; the manual is the
# installed one.
export HOME=$stage/home XDG_CONFIG_HOME=$stage/config
mkdir -p "$HOME"
"$root/bin/kestle" --version | grep -q '^kestle ' || fail "kestle --version printed nothing"
run() {
  "$root/bin/kestle" --headless --device sim --speech none --clock 2026-12-07T04:50:20 --script -
}
printf '%s\n' 'click frmSplash.Check2' 'click frmSplash.Command1' 'click vidtext' \
  'type vid2.txtText Night one' 'dump vid2.txtimage' 'quit' | run > "$stage/first.out" ||
  fail "the first start failed: $(cat "$stage/first.out")"
grep -qF "vid2.txtimage: text=\"$root/share/kestle/BOX.BMP\"" "$stage/first.out" ||
  fail "the first start's overlay picture is not the installed one: $(cat "$stage/first.out")"
ini=$XDG_CONFIG_HOME/kestle/Kestle.ini
grep -q '^V1=Night one' "$ini" || fail "$ini does not keep the setting"
[ ! -e "$root/bin/Kestle.ini" ] || fail "the settings were written beside the executable"
printf '%s\n' 'dump vid2.txtText' 'click abdd' 'dump About.Label1' 'click About.cmdOK' 'click usedd' \
  'quit' | run > "$stage/second.out" || fail "the second start failed: $(cat "$stage/second.out")"
for line in 'vid2.txtText: text="Night one"' \
  "About.Label1: text=\"Program path = $XDG_CONFIG_HOME/kestle\"" \
  "OPEN \"$root/share/kestle/Vantic_Kestle.pdf\""; do
  grep -qF "$line" "$stage/second.out" ||
    fail "the second start did not print $line: $(cat "$stage/second.out")"
done
echo "check-install: ${#expected[@]} files installed and checked"
