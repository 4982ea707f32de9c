#!/usr/bin/env bash
# TARs packed by XZ and Zstandard, and .tar.gz creation, through kv against the peers in one run: extracting
# a .tar.xz and a .tar.zst of a source tree of about 200 MB (`kv x` against `tar xJf` / `tar --zstd -xf`
# and `bsdtar xf`; target: kv/peer at most 1.0), and creating a .tar.gz of /usr/share/doc (`kv a -r -mx 6`
# against `tar -I pigz -cf`; target: kv/pigz at most 0.6, at about the same size). Prints the best of 3
# times, the peak memory of each run and the ratios kv/peer. KV_BENCH_DIR on a tmpfs (/dev/shm) keeps the
# disk out of the figures; run it while nothing else (no build) runs. KV_BENCH_TREE_MB changes the tree's size.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench-xz-zst}"
out="$work/out"
target=$(( ${KV_BENCH_TREE_MB:-200} * 1024 * 1024 ))
doc=/usr/share/doc

source "$root/bench/timing.sh"
mkdir -p "$work"
make_source_tree "$work" "$target"
[ -f "$work/tree.tar.xz" ] || { echo "making tree.tar.xz..." >&2; tar -cf - -C "$work" src | xz -T0 -6 > "$work/tree.tar.xz"; }
[ -f "$work/tree.tar.zst" ] || { echo "making tree.tar.zst..." >&2; tar -cf - -C "$work" src | zstd -q -T0 -3 > "$work/tree.tar.zst"; }

echo "source tree: $(du -sm "$work/src" | cut -f1) MB, $(find "$work/src" -type f | wc -l) files; $(nproc) cores; $(uptime | sed 's/.*load/load/')"
compare "extract .tar.xz, source tree" "$kv x -y -o $out $work/tree.tar.xz" "GNU-tar" "tar -xJf $work/tree.tar.xz -C $out"
compare "extract .tar.xz, source tree" "$kv x -y -o $out $work/tree.tar.xz" "bsdtar" "bsdtar -xf $work/tree.tar.xz -C $out"
compare "extract .tar.zst, source tree" "$kv x -y -o $out $work/tree.tar.zst" "GNU-tar" "tar --zstd -xf $work/tree.tar.zst -C $out"
compare "extract .tar.zst, source tree" "$kv x -y -o $out $work/tree.tar.zst" "bsdtar" "bsdtar -xf $work/tree.tar.zst -C $out"

echo "$doc: $(du -sm "$doc" | cut -f1) MB, $(find "$doc" -type f | wc -l) files"
compare "create .tar.gz, $doc" "cd $(dirname "$doc") && $kv a -r -mx 6 $out/kv.tar.gz $(basename "$doc")" \
  "pigz" "tar -I pigz -cf $out/peer.tar.gz -C $(dirname "$doc") $(basename "$doc")"
rm -rf "$out"; mkdir -p "$out"
(cd "$(dirname "$doc")" && "$kv" a -r -mx 6 "$out/kv.tar.gz" "$(basename "$doc")" >/dev/null)
tar -I pigz -cf "$out/peer.tar.gz" -C "$(dirname "$doc")" "$(basename "$doc")"
echo "sizes: kv $(stat -c %s "$out/kv.tar.gz") bytes, pigz $(stat -c %s "$out/peer.tar.gz") bytes"
rm -rf "$out"
