# Shared by the benchmark scripts (sourced, not run).

# Best of 5 runs of the given command, in seconds.
seconds() {
  local best=999
  for _ in 1 2 3 4 5; do
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s.%N)
    best=$(echo "$t1 $t0 $best" | awk '{d=$1-$2; print (d<$3)?d:$3}')
  done
  echo "$best"
}

# a / b with two decimals.
ratio() { echo "$1 $2" | awk '{printf "%.2f", $1/$2}'; }

# many.zip and many.tar in folder $1: 100 000 small files in 100 folders, made once and kept.
make_many_entries() {
  local work="$1"
  mkdir -p "$work"
  [ -f "$work/many.zip" ] && [ -f "$work/many.tar" ] && return 0
  echo "making 100000 files..." >&2
  rm -rf "$work/tree"; mkdir -p "$work/tree"
  (cd "$work/tree" && for d in $(seq 0 99); do mkdir "d$d"; for f in $(seq 0 999); do echo "$d $f" > "d$d/f$f.txt"; done; done)
  (cd "$work/tree" && rm -f ../many.zip ../many.tar && zip -qr ../many.zip . && tar -cf ../many.tar .)
  rm -rf "$work/tree"
}

# Folder $1/src: regular files of system folders with many files, about $2 bytes (300 MB unless given) in
# all, made once and kept.
make_source_tree() {
  local work="$1" target="${2:-$((300 * 1024 * 1024))}"
  [ -d "$work/src" ] && [ -f "$work/src.done" ] && return 0
  echo "making the source tree..." >&2
  rm -rf "$work/src"; mkdir -p "$work/src"
  find /usr/include /usr/lib/python3* /usr/share/perl* /usr/share/doc /usr/share/man -type f -printf '%s %p\n' 2>/dev/null |
    awk -v target="$target" '{ size += $1; sub(/^[0-9]+ /, ""); print; if (size >= target) exit }' > "$work/src.list" || true
  tar -cf - -T "$work/src.list" 2>/dev/null | tar -xf - -C "$work/src"
  rm -f "$work/src.list"
  touch "$work/src.done"
}

# tree.zip in folder $1: the source tree of make_source_tree (about $2 bytes) zipped once and kept.
make_tree_zip() {
  local work="$1" target="$2"
  [ -f "$work/tree.zip" ] && return 0
  make_source_tree "$work" "$target"
  echo "making tree.zip..." >&2
  (cd "$work/src" && zip -qr ../tree.zip .)
}

# big.zip in folder $1: one file of about $2 bytes of compressible data (a tar of /usr/share), zipped once
# and kept.
make_big_zip() {
  local work="$1" target="$2"
  [ -f "$work/big.zip" ] && return 0
  echo "making big.zip..." >&2
  { tar -cf - --ignore-failed-read /usr/share 2>/dev/null || true; } | head -c "$target" > "$work/big.dat"
  (cd "$work" && rm -f big.zip && zip -q big.zip big.dat)
  rm -f "$work/big.dat"
}

# Runs a command with its output thrown away; prints its peak resident memory in KiB (through /usr/bin/time,
# whose report goes to $work/rss, or, without it, getrusage in python3) and fails when the command fails.
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

# Best of 3 runs, each with a fresh empty $out (set by the caller): "seconds KiB" (the largest peak memory of
# the runs), or "failed". With refill set, each run first fills $out by running the command once (not
# timed), so that the timed run replaces files that exist.
measure() {
  local best=999 rss=0
  for _ in 1 2 3; do
    rm -rf "$out"; mkdir -p "$out"
    if [ -n "${refill:-}" ]; then "$@" >/dev/null 2>&1 || true; fi
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

# Prints "label: kv T s, R KiB; peer T s, R KiB; kv/peer RATIO" for a kv command line and a peer's
# command line of the same job ($out is emptied before each run; both write into it).
compare() {
  local label="$1" kv_line="$2" peer="$3" peer_line="$4" kv_t kv_rss peer_t peer_rss
  read -r kv_t kv_rss < <(measure sh -c "$kv_line")
  read -r peer_t peer_rss < <(measure sh -c "$peer_line")
  for t in "$kv_t" "$peer_t"; do
    [ "$t" = failed ] && { echo "$label: a run failed" >&2; return 1; }
  done
  printf '%-34s kv %.3f s, %s KiB; %s %.3f s, %s KiB; kv/%s %s\n' \
    "$label" "$kv_t" "$kv_rss" "$peer" "$peer_t" "$peer_rss" "$peer" "$(ratio "$kv_t" "$peer_t")"
}
