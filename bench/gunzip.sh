#!/usr/bin/env bash
# The GZIP reader against `gzip -d` (and the BZIP2 reader against `bzip2 -d`) on 300 MB of mixed data
# (system files in a tar, made once and kept), both writing a file: best-of-5 times and the speed ratios
# tool/kv (target at least 0.9 for GZIP).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/timing.sh"
bench="$root/build/bench/gunzip_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
make_source_tree "$work"
[ -f "$work/src.tar.gz" ] || tar -C "$work/src" -cf - . | gzip -6 > "$work/src.tar.gz"
[ -f "$work/src.tar.bz2" ] || tar -C "$work/src" -cf - . | bzip2 -9 > "$work/src.tar.bz2"
out="$work/gunzip-out"; mkdir -p "$out"

kv_gz=$(seconds "$bench" gz "$work/src.tar.gz" "$out")
tool_gz=$(seconds sh -c "gzip -d -c '$work/src.tar.gz' > '$out/src.tar'")
kv_bz=$(seconds "$bench" bz2 "$work/src.tar.bz2" "$out")
tool_bz=$(seconds sh -c "bzip2 -d -c '$work/src.tar.bz2' > '$out/src.tar'")
rm -rf "$out"
echo "gzip:  kv ${kv_gz}s, gzip -d ${tool_gz}s, ratio gzip/kv $(ratio "$tool_gz" "$kv_gz")"
echo "bzip2: kv ${kv_bz}s, bzip2 -d ${tool_bz}s, ratio bzip2/kv $(ratio "$tool_bz" "$kv_bz")"
