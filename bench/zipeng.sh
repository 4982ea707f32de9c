#!/usr/bin/env bash
# Adding a source tree of about 300 MB at level 6 through libzipeng.so, against `zip -r -6 -q` and
# `7z a -tzip -mx5`, in one run: the library single-threaded and on every core. Prints the best of 3 times,
# the ratios peer/library (higher is better for the library; the targets are 2.0 single-threaded and 3.0
# on all cores against zip), the archive sizes and each tool's peak memory. KV_BENCH_DIR on a tmpfs
# (/dev/shm) keeps the disk out of the figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/bench/zipeng_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
mkdir -p "$work"
source "$root/bench/timing.sh"
make_source_tree "$work"
archive="$work/zipeng-out.zip"
cores=$(nproc)

# Best of 3 runs, each writing a fresh archive: "seconds KiB bytes".
measure_add() {
  local best=999 rss=0 kib t0 t1
  for _ in 1 2 3; do
    rm -f "$archive"
    t0=$(date +%s.%N)
    kib=$(peak_kib "$@") || { echo "failed 0 0"; return; }
    t1=$(date +%s.%N)
    best=$(echo "$t1 $t0 $best" | awk '{d=$1-$2; print (d<$3)?d:$3}')
    [ "$kib" -gt "$rss" ] && rss=$kib
  done
  echo "$best $rss $(stat -c %s "$archive")"
}

src_mb=$(du -sm "$work/src" | cut -f1)
files=$(find "$work/src" -type f | wc -l)
echo "source tree: $src_mb MB, $files files; $cores cores"
read -r zip_t zip_rss zip_size < <(cd "$work/src" && measure_add zip -r -6 -q "$archive" .)
printf 'zip -r -6:        %.3f s  %s bytes  %s KiB\n' "$zip_t" "$zip_size" "$zip_rss"
if command -v 7z >/dev/null; then
  read -r sz_t sz_rss sz_size < <(cd "$work/src" && measure_add 7z a -tzip -mx5 "$archive" .)
  printf '7z a -tzip -mx5:  %.3f s  %s bytes  %s KiB\n' "$sz_t" "$sz_size" "$sz_rss"
fi
for threads in 1 "$cores"; do
  read -r t rss size < <(measure_add "$bench" a "$archive" "$work/src" "$threads")
  [ "$t" = failed ] && { echo "zipeng_bench failed with $threads threads" >&2; exit 1; }
  printf 'libzipeng %s thread(s): %.3f s  %s bytes  %s KiB\n' "$threads" "$t" "$size" "$rss"
  printf '  zip/libzipeng %s  size libzipeng/zip %s' "$(ratio "$zip_t" "$t")" "$(ratio "$size" "$zip_size")"
  [ -n "${sz_t:-}" ] && printf '  7z/libzipeng %s  size libzipeng/7z %s' "$(ratio "$sz_t" "$t")" "$(ratio "$size" "$sz_size")"
  echo
done
rm -f "$archive"
