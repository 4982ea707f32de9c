#!/usr/bin/env bash
# Reading a ZIP directory of 100 000 entries through the ZIP manager against `unzip -l` and `7z l`, in one
# run: times (best of 5), ratios kv/peer (target at most 1.0 against unzip) and peak memory, plus the heap
# the directory takes per entry beyond its name (target about 200 bytes at most).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/bench/zip_directory_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
entries=100000

source "$root/bench/timing.sh"
make_many_entries "$work"

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

kv=$(seconds "$bench" "$work/many.zip")
unzip=$(seconds unzip -l "$work/many.zip")
printf 'ZIP directory, %d entries: kv %.3f s, unzip -l %.3f s, ratio %s\n' "$entries" "$kv" "$unzip" "$(ratio "$kv" "$unzip")"
if command -v 7z >/dev/null; then
  z=$(seconds 7z l "$work/many.zip"); printf '  7z l %.3f s, ratio kv/7z %s\n' "$z" "$(ratio "$kv" "$z")"
fi
if [ -x /usr/bin/time ]; then
  printf 'peak memory: kv %s KiB, unzip -l %s KiB' "$(peak_kib "$bench" "$work/many.zip")" "$(peak_kib unzip -l "$work/many.zip")"
  command -v 7z >/dev/null && printf ', 7z l %s KiB' "$(peak_kib 7z l "$work/many.zip")"
  echo
fi
"$bench" "$work/many.zip"
