#!/usr/bin/env bash
# The GZIP reader against `gzip -d` on 200 MB of mixed data (files of /usr/share and /usr/lib in a tar,
# packed with gzip -6), and the BZIP2 reader against `bzip2 -d` on the first 50 MB of it, each writing a
# file; made once and kept. Prints best-of-5 times and the speed ratios tool/kv (target at least 0.9
# for GZIP).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/timing.sh"
bench="$root/build/bench/gunzip_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
mkdir -p "$work"
if [ ! -f "$work/mixed-200m.tar.gz" ] || [ ! -f "$work/mixed-50m.tar.bz2" ]; then
  echo "making the samples..." >&2
  { tar -cf - --ignore-failed-read /usr/share 2>/dev/null | head -c 100000000 || true
    tar -cf - --ignore-failed-read /usr/lib 2>/dev/null | head -c 100000000 || true; } > "$work/mixed-200m.tar"
  gzip -6 -c "$work/mixed-200m.tar" > "$work/mixed-200m.tar.gz"
  head -c 50000000 "$work/mixed-200m.tar" | bzip2 -9 > "$work/mixed-50m.tar.bz2"
  rm -f "$work/mixed-200m.tar"
fi
out="$work/gunzip-out"; mkdir -p "$out"

kv_gz=$(seconds "$bench" gz "$work/mixed-200m.tar.gz" "$out")
tool_gz=$(seconds sh -c "gzip -d -c '$work/mixed-200m.tar.gz' > '$out/mixed-200m.tar'")
kv_bz=$(seconds "$bench" bz2 "$work/mixed-50m.tar.bz2" "$out")
tool_bz=$(seconds sh -c "bzip2 -d -c '$work/mixed-50m.tar.bz2' > '$out/mixed-50m.tar'")
rm -rf "$out"
echo "gzip:  kv ${kv_gz}s, gzip -d ${tool_gz}s, ratio gzip/kv $(ratio "$tool_gz" "$kv_gz")"
echo "bzip2: kv ${kv_bz}s, bzip2 -d ${tool_bz}s, ratio bzip2/kv $(ratio "$tool_bz" "$kv_bz")"
