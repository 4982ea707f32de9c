#!/usr/bin/env bash
# Extraction of ZIP entries of the methods newer writers use, against 7-Zip in one run: a source tree of
# about 300 MB (KV_BENCH_MB sets another size) zipped once per method, LZMA, XZ and PPMd by `7zz`,
# Zstandard by bench/make_zstd_zip.py (7-Zip reads but does not write it), then `kv x` against `7zz x`.
# Prints the best of 3 times, the peak memory and the ratio kv/7zz (lower is better for kv; the targets
# are at most 1.0 for LZMA, XZ and Zstandard and at most 1.1 for PPMd).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
command -v 7zz >/dev/null || { echo "7zz (package 7zip) is needed" >&2; exit 1; }
mb="${KV_BENCH_MB:-300}"
work="${KV_BENCH_DIR:-/tmp/kv-bench}/zip-methods-$mb"
out="$work/out"

source "$root/bench/timing.sh"
make_source_tree "$work" $((mb * 1024 * 1024))

for method in LZMA XZ PPMd Zstd; do
  archive="$work/$method.zip"
  [ -f "$archive" ] && continue
  echo "making $method.zip..." >&2
  if [ "$method" = Zstd ]; then
    python3 "$root/bench/make_zstd_zip.py" "$work/src" "$archive.part"
  else
    (cd "$work/src" && 7zz a -tzip -mm="$method" "$archive.part" . >/dev/null)
  fi
  mv "$archive.part" "$archive"
done

for method in LZMA XZ PPMd Zstd; do
  archive="$work/$method.zip"
  compare "ZIP $method ($(( $(stat -c %s "$archive") / 1048576 )) MB)" \
    "'$kv' x -y -o '$out' '$archive'" 7zz "7zz x -y '-o$out' '$archive'"
done
