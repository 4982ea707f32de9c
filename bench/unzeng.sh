#!/usr/bin/env bash
# The unzip engine library against unzip, in one run: extracting (`unzeng_bench x`, one job through
# libunzeng.so) against `unzip -q`, and testing (`unzeng_bench t`) against `unzip -tq`, on a ZIP of one
# 300 MB file and on a ZIP of a source tree of about 300 MB (the archives bench/extract.sh makes, shared
# through KV_BENCH_DIR). Prints the best of 3 times, the ratios unzip/library (higher is better for the
# library; the targets are at least 1.3 on the large file and at least 1.0 on the tree) and the peak memory
# of each run. Use a tmpfs for KV_BENCH_DIR (/dev/shm/...) so that the disk does not set the pace.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
driver="$root/build/bench/unzeng_bench"
[ -x "$driver" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/unzeng-out"
target=$((300 * 1024 * 1024))

source "$root/bench/timing.sh"
mkdir -p "$work"
make_tree_zip "$work" "$target"
make_big_zip "$work" "$target"

run() {
  local label="$1" archive="$2"
  local lib_x lib_x_rss lib_t lib_t_rss unzip_x unzip_x_rss unzip_t unzip_t_rss
  read -r lib_x lib_x_rss < <(measure "$driver" x "$archive" "$out")
  read -r unzip_x unzip_x_rss < <(measure unzip -qo "$archive" -d "$out")
  read -r lib_t lib_t_rss < <(measure "$driver" t "$archive")
  read -r unzip_t unzip_t_rss < <(measure unzip -tq "$archive")
  for t in "$lib_x" "$unzip_x" "$lib_t" "$unzip_t"; do
    [ "$t" = failed ] && { echo "$label: a run failed" >&2; return 1; }
  done
  printf '%s (archive of %s MB)\n' "$label" "$(( $(stat -c %s "$archive") / 1048576 ))"
  printf '  extract: library %.3f s, %s KiB; unzip -q %.3f s, %s KiB; unzip/library %s\n' \
    "$lib_x" "$lib_x_rss" "$unzip_x" "$unzip_x_rss" "$(ratio "$unzip_x" "$lib_x")"
  printf '  test:    library %.3f s, %s KiB; unzip -tq %.3f s, %s KiB; unzip/library %s\n' \
    "$lib_t" "$lib_t_rss" "$unzip_t" "$unzip_t_rss" "$(ratio "$unzip_t" "$lib_t")"
}

run "one large file" "$work/big.zip"
run "source tree" "$work/tree.zip"
