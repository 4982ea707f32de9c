#!/usr/bin/env bash
# TAR.GZ, GZIP and BZIP2 through kv against the peers, in one run: creating a .tar.gz of a source tree of
# about 300 MB (`kv a -r -mx 6` against GNU `tar czf`, which pipes to gzip -6, and `bsdtar czf`), extracting
# it (`kv x` against `tar xzf` and `bsdtar xzf`), and decompressing one 300 MB .gz and .bz2 file (`kv x`
# against `gzip -d` and `bzip2 -d`). Prints the best of 3 times, the peak memory of each run and the ratios
# kv/peer (targets: at most 1.0 against GNU tar; the .gz decompression at least 0.9x the speed of gzip,
# that is a time ratio of at most 1.11). KV_BENCH_DIR on a tmpfs (/dev/shm) keeps the disk out of the
# figures; run it while nothing else (no build) runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/tar-gzip-out"
target=$((300 * 1024 * 1024))

source "$root/bench/timing.sh"
mkdir -p "$work"
make_source_tree "$work" "$target"
[ -f "$work/tree.tar.gz" ] || { echo "making tree.tar.gz..." >&2; tar -czf "$work/tree.tar.gz" -C "$work" src; }
if [ ! -f "$work/big.dat.gz" ] || [ ! -f "$work/big.dat.bz2" ]; then
  echo "making big.gz and big.bz2..." >&2
  # Not on a TAR block boundary: a file that starts as a TAR would be read as the TAR it is.
  { { tar -cf - --ignore-failed-read /usr/share 2>/dev/null || true; } | tail -c +1001 || true; } | head -c "$target" > "$work/big.dat"
  gzip -6 -c "$work/big.dat" > "$work/big.dat.gz"
  bzip2 -9 -c "$work/big.dat" > "$work/big.dat.bz2"
  rm -f "$work/big.dat"
fi


echo "source tree: $(du -sm "$work/src" | cut -f1) MB, $(find "$work/src" -type f | wc -l) files; $(nproc) cores"
compare "create .tar.gz, source tree" "cd $work && $kv a -r -mx 6 $out/kv.tar.gz src" \
  "GNU-tar" "tar -czf $out/peer.tar.gz -C $work src"
compare "create .tar.gz, source tree" "cd $work && $kv a -r -mx 6 $out/kv.tar.gz src" \
  "bsdtar" "bsdtar -czf $out/peer.tar.gz -C $work src"
compare "extract .tar.gz, source tree" "$kv x -y -o $out $work/tree.tar.gz" "GNU-tar" "tar -xzf $work/tree.tar.gz -C $out"
compare "extract .tar.gz, source tree" "$kv x -y -o $out $work/tree.tar.gz" "bsdtar" "bsdtar -xzf $work/tree.tar.gz -C $out"
compare "decompress .gz, 300 MB" "$kv x -y -o $out $work/big.dat.gz" "gzip" "gzip -dc $work/big.dat.gz > $out/big.dat"
compare "decompress .bz2, 300 MB" "$kv x -y -o $out $work/big.dat.bz2" "bzip2" "bzip2 -dc $work/big.dat.bz2 > $out/big.dat"
