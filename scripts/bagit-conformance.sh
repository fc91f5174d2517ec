#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs `kestle --verify` over every bag of the BagIt conformance suite and
# prints, per version and set, how many bags were accepted (exit 0) and
# rejected (exit 1), how many could not be checked (exit 2), and each bag
# whose outcome is not its set's (a valid bag rejected, an invalid one
# accepted) with the first line kestle printed about it.
#   scripts/bagit-conformance.sh [KESTLE]   (default build/rel/src/kestle)
set -uo pipefail
cd "$(dirname "$0")/.."
kestle=${1:-build/rel/src/kestle}
suite=tests/evidence/bagit-suite
printf '%-8s %-13s %5s %9s %9s %11s\n' version set bags accepted rejected unreadable
odd=()
for version in v1.0 v0.97 v0.96 v0.95 v0.94 v0.93; do
  for set in valid invalid warning linux-only windows-only; do
    [ -d "$suite/$version/$set" ] || continue
    n=0 ok=0 bad=0 unread=0
    for bag in "$suite/$version/$set"/*/; do
      bag=${bag%/}
      said=$("$kestle" --verify "$bag" 2>&1)
      rc=$?
      n=$((n + 1))
      case $rc in 0) ok=$((ok + 1)) ;; 1) bad=$((bad + 1)) ;; *) unread=$((unread + 1)) ;; esac
      if { [ "$set" = valid ] && [ $rc -ne 0 ]; } || { [ "$set" != valid ] && [ "$set" != warning ] && [ $rc -eq 0 ]; }; then
        odd+=("${bag#"$suite"/} exit $rc: $(printf '%s\n' "$said" | grep -v '^$' | head -1)")
      fi
    done
    printf '%-8s %-13s %5d %9d %9d %11d\n' "$version" "$set" "$n" "$ok" "$bad" "$unread"
  done
done
if [ ${#odd[@]} -gt 0 ]; then
  echo
  echo "outside their set's outcome:"
  printf '  %s\n' "${odd[@]}"
fi
