#!/usr/bin/env bash
# Extraction against peers, in one run: `kv x` against `unzip -q` (and `7z x`, `bsdtar -xf` when installed)
# on a ZIP of a source tree of about 300 MB, a ZIP of one 300 MB file and a ZIP of 100 000 small files in
# 100 folders. Every run extracts into a fresh empty folder (its removal is not timed). Prints the best of
# 3 times, the ratios kv/peer (lower is better for kv; the target is at most 1.0 against unzip) and the
# peak memory of each tool. Creating many small files costs what the disk makes of it: on a busy disk those
# times vary from run to run, and KV_BENCH_DIR on a tmpfs (/dev/shm) gives steadier figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kv="$root/build/kv"
[ -x "$kv" ] || "$root/scripts/build" release
work="${KV_BENCH_DIR:-/tmp/kv-bench}"
out="$work/extract-out"
target=$((300 * 1024 * 1024))

source "$root/bench/timing.sh"
make_many_entries "$work"

# tree.zip: regular files of system folders with many files, about 300 MB in all, zipped once and kept.
if [ ! -f "$work/tree.zip" ]; then
  echo "making tree.zip..." >&2
  rm -rf "$work/src"; mkdir -p "$work/src"
  find /usr/include /usr/lib/python3* /usr/share/perl* /usr/share/doc /usr/share/man -type f -printf '%s %p\n' 2>/dev/null |
    awk -v target="$target" '{ size += $1; sub(/^[0-9]+ /, ""); print; if (size >= target) exit }' > "$work/src.list" || true
  tar -cf - -T "$work/src.list" 2>/dev/null | tar -xf - -C "$work/src"
  (cd "$work/src" && zip -qr ../tree.zip .)
  rm -rf "$work/src" "$work/src.list"
fi

# big.zip: one file of about 300 MB of compressible data (a tar of /usr/share), zipped once and kept.
if [ ! -f "$work/big.zip" ]; then
  echo "making big.zip..." >&2
  { tar -cf - --ignore-failed-read /usr/share 2>/dev/null || true; } | head -c "$target" > "$work/big.dat"
  (cd "$work" && rm -f big.zip && zip -q big.zip big.dat)
  rm -f "$work/big.dat"
fi

# Runs a command with its output thrown away; prints its peak resident memory in KiB (through /usr/bin/time
# or, without it, getrusage in python3) and fails when the command fails.
peak_kib() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || return 1
    tail -n 1 "$work/rss"
  else
    python3 -c 'import resource, subprocess, sys
code = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
sys.exit(code)' "$@"
  fi
}

# Best of 3 extractions, each into a fresh empty $out: "seconds KiB" (the largest peak memory of the runs),
# or "failed".
measure() {
  local best=999 rss=0
  for _ in 1 2 3; do
    rm -rf "$out"; mkdir -p "$out"
    local t0 t1 kib
    t0=$(date +%s.%N)
    kib=$(peak_kib "$@") || { echo failed; rm -rf "$out"; return; }
    t1=$(date +%s.%N)
    best=$(echo "$t1 $t0 $best" | awk '{d=$1-$2; print (d<$3)?d:$3}')
    [ "$kib" -gt "$rss" ] && rss=$kib
  done
  rm -rf "$out"
  echo "$best $rss"
}

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
      unzip)  read -r t rss < <(measure unzip -q "$archive" -d "$out") ;;
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
