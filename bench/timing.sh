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
