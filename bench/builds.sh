#!/usr/bin/env bash
# This build against an earlier one, in one run: `kv l` of a ZIP of 100 000 entries and of a TAR of 100 000
# members, `kv i` over the whole archive corpus, and `kv x` of the three ZIPs of bench/extract.sh. BEFORE names
# the earlier kv (its run-time libraries beside it). Prints both times and the ratio this/before (the target
# is at most 1.05: a design change must not cost speed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"
before="${BEFORE:?BEFORE must name the kv build to compare with}"
[ -x "$kv" ] || "$root/scripts/build" release
corpus="${KV_CORPUS_DIR:-$root/../shared/corpus}"
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/builds-out"

source "$root/bench/timing.sh"
make_many_entries "$work"
make_tree_zip "$work" $((300 * 1024 * 1024))
make_big_zip "$work" $((300 * 1024 * 1024))
list=$(mktemp)
trap 'rm -f "$list"; rm -rf "$out"' EXIT
find "$corpus" -type f ! -path '*/expected/*' ! -name '*.tsv' ! -name '*.md' -print0 > "$list"

# The two builds take turns, so that a change in the machine's load falls on both.
both() {
  local label="$1"; shift
  local now then
  now=$(seconds "$@")
  then=$(seconds "${@/#$kv/$before}")
  printf '%-36s this %.3f s, before %.3f s, this/before %s\n' "$label" "$now" "$then" "$(ratio "$now" "$then")"
}

extract() {
  local label="$1" archive="$2" now then
  read -r now _ < <(measure "$kv" x -y -o "$out" "$archive")
  read -r then _ < <(measure "$before" x -y -o "$out" "$archive")
  printf '%-36s this %.3f s, before %.3f s, this/before %s\n' "$label" "$now" "$then" "$(ratio "$now" "$then")"
}

both "kv l, ZIP of 100 000 entries" "$kv" l "$work/many.zip"
both "kv l, TAR of 100 000 members" "$kv" l "$work/many.tar"
both "kv i, the corpus" sh -c 'xargs -0 "$0" i < "$1"' "$kv" "$list"
extract "kv x, source tree ZIP" "$work/tree.zip"
extract "kv x, one large file ZIP" "$work/big.zip"
extract "kv x, 100 000 small files ZIP" "$work/many.zip"
