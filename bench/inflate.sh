#!/usr/bin/env bash
# The engine's inflate against zlib's on one 500 MB raw Deflate stream of mixed data (files of /usr/share
# and /usr/lib in a tar, repeated to 500 MB, packed with zlib level 6 once and kept): both times and the
# speed ratio kv/zlib (target at least 0.9).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/bench/inflate_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
packed="$work/mixed-500m.deflate"
size=$((500 * 1024 * 1024))

mkdir -p "$work"
if [ ! -f "$packed" ]; then
  echo "making $packed..." >&2
  half=$((size / 2))
  { tar -cf - --ignore-failed-read /usr/share 2>/dev/null | head -c "$half" || true
    tar -cf - --ignore-failed-read /usr/lib 2>/dev/null | head -c "$half" || true; } > "$work/mixed.tar"
  while [ "$(stat -c %s "$work/mixed.tar")" -lt "$size" ]; do cat "$work/mixed.tar" "$work/mixed.tar" | head -c "$size" > "$work/mixed.tar.2"; mv "$work/mixed.tar.2" "$work/mixed.tar"; done
  "$bench" deflate "$work/mixed.tar" "$packed"
  rm -f "$work/mixed.tar"
fi
"$bench" "$packed" "${1:-3}"
