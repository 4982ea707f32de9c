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
