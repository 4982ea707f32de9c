#!/usr/bin/env bash
# Creating a .tar.gz of a source tree (100 MB unless KV_BENCH_MB says otherwise) through the TAR writer
# against `tar czf` (gzip level 6), in one run: times (best of 5) and the ratio kv/tar (target at most 1.0),
# plus the packed sizes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="$root/build/bench/tar_gzip_bench"
[ -x "$bench" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}/tgz"
mkdir -p "$work"

source "$root/bench/timing.sh"
make_source_tree "$work" $(( ${KV_BENCH_MB:-100} * 1024 * 1024 ))

kv=$(seconds "$bench" "$work/kv.tar.gz" "$work/src")
tar=$(seconds tar -czf "$work/tar.tar.gz" -C "$work" src)
printf 'TAR.GZ of %s: kv %.3f s, tar czf %.3f s, ratio %s\n' "$(du -sh "$work/src" | cut -f1)" "$kv" "$tar" "$(ratio "$kv" "$tar")"
printf 'packed: kv %s bytes, tar czf %s bytes\n' "$(stat -c %s "$work/kv.tar.gz")" "$(stat -c %s "$work/tar.tar.gz")"
