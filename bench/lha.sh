#!/usr/bin/env bash
# kv x against lhasa (`lha x`) and 7-Zip (`7zz x`) on a 100 MB mixed payload (one file of /usr/share and
# /usr/lib in a tar, plus a tree of system files) packed by jlha with -lh5- and with -lh7-; made once and
# kept. Prints best-of-3 times, peak memory and the ratios kv/peer (target: at most 0.67 against lhasa,
# below 1 against 7zz).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/timing.sh"
kv="$root/build/kv"
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}/lha"
mkdir -p "$work"
if [ ! -f "$work/lh5.lzh" ] || [ ! -f "$work/lh7.lzh" ]; then
  echo "making the payload and the archives..." >&2
  rm -rf "$work/payload"; mkdir -p "$work/payload"
  { tar -cf - --ignore-failed-read /usr/share /usr/lib 2>/dev/null || true; } | head -c 60000000 > "$work/payload/mixed.tar"
  make_source_tree "$work/tree" $((40 * 1024 * 1024))
  mv "$work/tree/src" "$work/payload/tree"
  (cd "$work/payload" && jlha a2o5q ../lh5.lzh mixed.tar tree >/dev/null && jlha a2o7q ../lh7.lzh mixed.tar tree >/dev/null)
  rm -rf "$work/payload" "$work/tree"
fi
out="$work/out"
for method in lh5 lh7; do
  archive="$work/$method.lzh"
  compare "-$method- kv x vs lha x" "'$kv' x '$archive' -o '$out' -y" lha "cd '$out' && lha xq '$archive'"
  compare "-$method- kv x vs 7zz x" "'$kv' x '$archive' -o '$out' -y" 7zz "7zz x -bd -y -o'$out' '$archive'"
done
