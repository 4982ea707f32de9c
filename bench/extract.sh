#!/usr/bin/env bash
# Extraction against peers, in one run: `kv x` against `unzip -q` (and `7z x`, `bsdtar -xf` when installed)
# on a ZIP of a source tree of about 300 MB, a ZIP of one 300 MB file and a ZIP of 100 000 small files in
# 100 folders, and the small files again over an earlier extraction. Every run extracts into a fresh empty
# folder (its removal is not timed). Prints the best of 3 times, the ratios kv/peer (lower is better for kv;
# the target is at most 1.0 against unzip) and the peak memory of each tool. Creating many small files costs what the disk makes of it: on a busy disk those
# times vary from run to run, and KV_BENCH_DIR on a tmpfs (/dev/shm) gives steadier figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/extract-out"
target=$((300 * 1024 * 1024))

source "$root/bench/timing.sh"
make_many_entries "$work"

make_tree_zip "$work" "$target"
make_big_zip "$work" "$target"

run() {
  local label="$1" archive="$2"
  local kv_time kv_rss
  read -r kv_time kv_rss < <(measure "$kv" x -y -o "$out" "$archive")
  [ "$kv_time" = failed ] && { echo "$label: kv x failed" >&2; return 1; }
  printf '%s (archive of %s MB): kv x %.3f s, %s KiB\n' "$label" "$(( $(stat -c %s "$archive") / 1048576 ))" "$kv_time" "$kv_rss"
  local peer t rss
  for peer in unzip 7z bsdtar; do
    command -v "$peer" >/dev/null || continue
    case "$peer" in
      unzip)  read -r t rss < <(measure unzip -qo "$archive" -d "$out") ;;
      7z)     read -r t rss < <(measure 7z x -y "-o$out" "$archive") ;;
      bsdtar) read -r t rss < <(measure bsdtar -xf "$archive" -C "$out") ;;
    esac
    if [ "$t" = failed ]; then printf '  %-6s failed\n' "$peer"; continue; fi
    printf '  %-6s %.3f s, %s KiB, ratio kv/%s %s\n' "$peer" "$t" "$rss" "$peer" "$(ratio "$kv_time" "$t")"
  done
}

run "source tree" "$work/tree.zip"
run "one large file" "$work/big.zip"
run "100 000 small files" "$work/many.zip"
# Each file replaces one that exists: kv writes it beside the old one and renames it over that only once it
# passed its check.
refill=1 run "100 000 small files over an earlier extraction" "$work/many.zip"
