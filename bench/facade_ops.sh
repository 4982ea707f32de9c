#!/usr/bin/env bash
# What the way through kv and its facade (TkvComp, the ZIP manager, the engine library bridge) costs over
# one bare job of the engine library, in one run: `kv a -r -mx 6` against `zipeng_bench a` (libzipeng.so,
# level 6, every core) on a source tree of about 300 MB, and `kv x` against `unzeng_bench x` (libunzeng.so)
# on a ZIP of that tree, on a ZIP of one 300 MB file and on a ZIP of 100 000 small files in 100 folders
# (where any per-entry cost of the facade shows). Prints the best of 3 times, the ratios kv/library
# (the target is at most 1.05) and the peak memory of each run. KV_BENCH_DIR on a tmpfs (/dev/shm) keeps
# the disk out of the figures; run it while nothing else (no build) runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] && [ -x "$root/build/bench/zipeng_bench" ] && [ -x "$root/build/bench/unzeng_bench" ] ||
  "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/facade-ops-out"
target=$((300 * 1024 * 1024))

source "$root/bench/timing.sh"
mkdir -p "$work"
make_source_tree "$work" "$target"
make_tree_zip "$work" "$target"
make_big_zip "$work" "$target"
make_many_entries "$work"

# Prints "label: kv T s, R KiB; library T s, R KiB; kv/library RATIO" for a kv command line and the
# library's run of the same job ($out is emptied before each run; both write into it).
compare() {
  local label="$1" kv_line="$2" lib_line="$3" kv_t kv_rss lib_t lib_rss
  read -r kv_t kv_rss < <(measure $kv_line)
  read -r lib_t lib_rss < <(measure $lib_line)
  for t in "$kv_t" "$lib_t"; do
    [ "$t" = failed ] && { echo "$label: a run failed" >&2; return 1; }
  done
  printf '%-30s kv %.3f s, %s KiB; library %.3f s, %s KiB; kv/library %s\n' \
    "$label" "$kv_t" "$kv_rss" "$lib_t" "$lib_rss" "$(ratio "$kv_t" "$lib_t")"
}

echo "source tree: $(du -sm "$work/src" | cut -f1) MB, $(find "$work/src" -type f | wc -l) files; $(nproc) cores"
compare "add, source tree (-mx 6)" "$kv a -r -mx 6 $out/kv.zip $work/src" \
  "$root/build/bench/zipeng_bench a $out/lib.zip $work/src 0 6"
compare "extract, source tree" "$kv x -y -o $out $work/tree.zip" "$root/build/bench/unzeng_bench x $work/tree.zip $out"
compare "extract, one large file" "$kv x -y -o $out $work/big.zip" "$root/build/bench/unzeng_bench x $work/big.zip $out"
compare "extract, 100 000 small files" "$kv x -y -o $out $work/many.zip" "$root/build/bench/unzeng_bench x $work/many.zip $out"
