#!/usr/bin/env bash
# Type detection against a peer: `kv i` and `file` over the whole archive corpus in one run, and `kv i`
# on a 10 GiB sparse file against a small one. Prints times and ratios (lower is better for kv).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${KV_CORPUS_DIR:-$root/../shared/corpus}"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
[ -d "$corpus" ] || { echo "no corpus at $corpus" >&2; exit 1; }

list=$(mktemp); work=$(mktemp -d)
trap 'rm -rf "$list" "$work"' EXIT
find "$corpus" -type f ! -path '*/expected/*' ! -name '*.tsv' ! -name '*.md' -print0 > "$list"
count=$(tr -cd '\0' < "$list" | wc -c)

source "$root/bench/timing.sh"

kv_all=$(seconds sh -c "xargs -0 '$kv' i < '$list'")
file_all=$(seconds sh -c "xargs -0 file -b < '$list'")
printf 'corpus (%d files): kv i %.3f s, file %.3f s, ratio kv/file %s\n' "$count" "$kv_all" "$file_all" \
  "$(ratio "$kv_all" "$file_all")"

truncate -s 10G "$work/huge.zip"; printf 'PK\005\006' | dd of="$work/huge.zip" bs=1 seek=$((10*1024*1024*1024-22)) conv=notrunc status=none
head -c 4096 /dev/urandom > "$work/small.bin"
huge=$(seconds "$kv" i "$work/huge.zip")
small=$(seconds "$kv" i "$work/small.bin")
printf 'sparse 10 GiB file: kv i %.4f s, 4 KiB file %.4f s, ratio %s\n' "$huge" "$small" \
  "$(ratio "$huge" "$small")"
