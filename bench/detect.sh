#!/usr/bin/env bash
# Type detection against a peer: `kv i` and `file` over the whole archive corpus in one run, and `kv i`
# on a 10 GiB sparse file against a small one. Prints times and ratios (lower is better for kv).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="${KV_CORPUS_DIR:-$root/../shared/corpus}"
kv="$root/build/kv"
[ -x "$kv" ] || "$root/scripts/build" release
[ -d "$corpus" ] || { echo "no corpus at $corpus" >&2; exit 1; }

list=$(mktemp); work=$(mktemp -d)
trap 'rm -rf "$list" "$work"' EXIT
find "$corpus" -type f ! -path '*/expected/*' ! -name '*.tsv' ! -name '*.md' -print0 > "$list"
count=$(tr -cd '\0' < "$list" | wc -c)

seconds() {  # best of 5 runs of the given command, in seconds
  local best=""
  for _ in 1 2 3 4 5; do
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s.%N)
    best=$(echo "$t1 $t0 ${best:-999}" | awk '{d=$1-$2; print (d<$3)?d:$3}')
  done
  echo "$best"
}

kv_all=$(seconds sh -c "xargs -0 '$kv' i < '$list'")
file_all=$(seconds sh -c "xargs -0 file -b < '$list'")
printf 'corpus (%d files): kv i %.3f s, file %.3f s, ratio kv/file %.2f\n' "$count" "$kv_all" "$file_all" \
  "$(echo "$kv_all $file_all" | awk '{print $1/$2}')"

truncate -s 10G "$work/huge.zip"; printf 'PK\005\006' | dd of="$work/huge.zip" bs=1 seek=$((10*1024*1024*1024-22)) conv=notrunc status=none
head -c 4096 /dev/urandom > "$work/small.bin"
huge=$(seconds "$kv" i "$work/huge.zip")
small=$(seconds "$kv" i "$work/small.bin")
printf 'sparse 10 GiB file: kv i %.4f s, 4 KiB file %.4f s, ratio %.2f\n' "$huge" "$small" \
  "$(echo "$huge $small" | awk '{print $1/$2}')"
