#!/usr/bin/env bash
# kv x against `arj x` on ARJ archives of 100 MB of mixed data (a tar of /usr/share and /usr/lib stored as
# one file) packed with methods 1 and 4 by arj, made once and kept: best-of-3 times, peak memory and the
# ratio kv/arj (target at most 1.0: kv at least as fast).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/timing.sh"
kv="$root/build/kv"
[ -x "$kv" ] || "$root/scripts/build" release
command -v arj >/dev/null || { echo "arj is not installed" >&2; exit 1; }
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
mkdir -p "$work/arj"
if [ ! -f "$work/arj/m1.arj" ] || [ ! -f "$work/arj/m4.arj" ]; then
  echo "making the samples..." >&2
  { tar -cf - --ignore-failed-read /usr/share 2>/dev/null | head -c 50000000 || true
    tar -cf - --ignore-failed-read /usr/lib 2>/dev/null | head -c 50000000 || true; } > "$work/arj/mixed.dat"
  for m in 1 4; do
    rm -f "$work/arj/m$m.arj"
    (cd "$work/arj" && arj a -y -m$m "m$m.arj" mixed.dat >/dev/null)
  done
  rm -f "$work/arj/mixed.dat"
fi
out="$work/arj-out"
for m in 1 4; do
  compare "ARJ method $m, 100 MB" "'$kv' x '$work/arj/m$m.arj' -o '$out' -y" \
    arj "arj x -y '$work/arj/m$m.arj' '$out/' </dev/null"
done
