#!/usr/bin/env bash
# A compressed TAR read as it is decoded, against the peers in one run: extracting a .tar.gz of a source
# tree of about 1 GB (`kv x` against `tar xzf` and `bsdtar xzf`; target: kv/tar at most 0.7), with the
# peak of what kv's temporary folder holds meanwhile (target: 0, no intermediate TAR); and one sparse TAR
# member of 4 GiB with 1 MiB of data (`kv x` against `tar xf`; target: under a second and about 1 MiB on
# disk). KV_BENCH_DIR on a tmpfs keeps the disk out of the figures; KV_BENCH_TREE_MB changes the tree's size.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="${KV:-$root/build/kv}"  # KV names another build to compare with
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench-stream}"
out="$work/out"
target=$(( ${KV_BENCH_TREE_MB:-1024} * 1024 * 1024 ))

source "$root/bench/timing.sh"
mkdir -p "$work"
make_source_tree "$work" "$target"
if [ ! -f "$work/tree.tar.gz" ]; then
  echo "making tree.tar.gz..." >&2
  # The system folders may hold less than the target: the tree goes in as often as it takes, each copy
  # with its own bytes (hard links would be stored as links).
  copies=$(( (target + $(du -sb "$work/src" | cut -f1) - 1) / $(du -sb "$work/src" | cut -f1) ))
  names=(src)
  for i in $(seq 2 "$copies"); do rm -rf "$work/src$i"; cp -al "$work/src" "$work/src$i"; names+=("src$i"); done
  tar --hard-dereference -czf "$work/tree.tar.gz" -C "$work" "${names[@]}"
  for i in $(seq 2 "$copies"); do rm -rf "$work/src$i"; done
fi
if [ ! -f "$work/sparse.tar" ]; then
  echo "making sparse.tar..." >&2
  rm -f "$work/holes.bin"
  truncate -s 4G "$work/holes.bin"
  # 1 MiB of data in 16 stretches spread over the file.
  for i in $(seq 0 15); do
    head -c 65536 /dev/urandom | dd of="$work/holes.bin" bs=64K seek=$((i * 4096)) conv=notrunc status=none
  done
  tar --sparse -cf "$work/sparse.tar" -C "$work" holes.bin
  rm -f "$work/holes.bin"
fi

echo "tree.tar.gz: $(( $(stat -c %s "$work/tree.tar.gz") / 1024 / 1024 )) MB packed, $(tar -tzvf "$work/tree.tar.gz" | awk '{s += $3} END {printf "%d", s / 1048576}') MB of data; $(nproc) cores; $(uptime | sed 's/.*load/load/')"
compare "extract .tar.gz, source tree" "$kv x -y -o $out $work/tree.tar.gz" "GNU-tar" "tar -xzf $work/tree.tar.gz -C $out"
compare "extract .tar.gz, source tree" "$kv x -y -o $out $work/tree.tar.gz" "bsdtar" "bsdtar -xzf $work/tree.tar.gz -C $out"

# What the files in kv's temporary folder hold at their largest during one extraction, sampled every 50 ms.
temp="$work/temp"
rm -rf "$temp" "$out"; mkdir -p "$temp" "$out"
TMPDIR="$temp" "$kv" x -y -o "$out" "$work/tree.tar.gz" >/dev/null 2>&1 &
pid=$!
peak=0
while kill -0 "$pid" 2>/dev/null; do
  used=$(find "$temp" -type f -printf '%s\n' 2>/dev/null | awk '{s += $1} END {print int(s / 1024)}')
  [ "${used:-0}" -gt "$peak" ] && peak=$used
  sleep 0.05
done
wait "$pid"
echo "temporary folder at its largest during kv x: $peak KiB (output $(du -sm "$out" | cut -f1) MB)"

compare "extract a 4 GiB sparse member" "$kv x -y -o $out $work/sparse.tar" "GNU-tar" "tar -xf $work/sparse.tar -C $out"
rm -rf "$out"; mkdir -p "$out"
"$kv" x -y -o "$out" "$work/sparse.tar" >/dev/null
echo "sparse member on disk: $(du -k "$out/holes.bin" | cut -f1) KiB of $(( $(stat -c %s "$out/holes.bin") / 1024 / 1024 )) MiB"
rm -rf "$out"
