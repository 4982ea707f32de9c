#!/usr/bin/env bash
# Listing against peers, in one run: `kv l` against `unzip -l` on a ZIP of 100 000 small entries and
# against `tar -tf` on a TAR of 100 000 entries (also `bsdtar -tf` and `7z l` when installed). Prints
# times and ratios kv/peer (lower is better for kv; the target is at most 1.0), then what the facade `kv l`
# goes through adds to the bare engine walk.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
entries=100000

source "$root/bench/timing.sh"
make_many_entries "$work"

kv_zip=$(seconds "$kv" l "$work/many.zip")
unzip_zip=$(seconds unzip -l "$work/many.zip")
printf 'ZIP, %d entries: kv l %.3f s, unzip -l %.3f s, ratio %s\n' "$entries" "$kv_zip" "$unzip_zip" "$(ratio "$kv_zip" "$unzip_zip")"
if command -v 7z >/dev/null; then
  z=$(seconds 7z l "$work/many.zip"); printf '  7z l %.3f s, ratio kv/7z %s\n' "$z" "$(ratio "$kv_zip" "$z")"
fi

kv_tar=$(seconds "$kv" l "$work/many.tar")
tar_tar=$(seconds tar -tf "$work/many.tar")
printf 'TAR, %d entries: kv l %.3f s, tar -tf %.3f s, ratio %s\n' "$entries" "$kv_tar" "$tar_tar" "$(ratio "$kv_tar" "$tar_tar")"
if command -v bsdtar >/dev/null; then
  b=$(seconds bsdtar -tf "$work/many.tar"); printf '  bsdtar -tf %.3f s, ratio kv/bsdtar %s\n' "$b" "$(ratio "$kv_tar" "$b")"
fi

# What the facade adds to the bare engine walk (target at most 1.20), measured inside one process.
facade="$root/build/bench/facade_bench"
[ -x "$facade" ] || "$root/scripts/build" release
printf 'ZIP: '; "$facade" "$work/many.zip"
printf 'TAR: '; "$facade" "$work/many.tar"
