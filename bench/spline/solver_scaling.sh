#!/bin/sh
# solver_scaling.sh BUILD_DIR [SET] [SIZES...]
# For each n (default 1000 10000 100000 300000 1000000) of the set (surface, the default, or
# sphere): the solver paths and the bare CHOLMOD driver in one process (bench_solver_paths;
# the envelope only up to 100,000 pairs), then selvane-fit end to end under /usr/bin/time
# (wall time and peak resident memory). Ends with the growth exponents of the end-to-end time
# and memory (least squares on log n). Notes the machine's load with every figure: the
# machine may be shared.
set -eu
build=$1
set_name=${2:-surface}
[ $# -ge 2 ] && shift 2 || shift $#
sizes=${*:-1000 10000 100000 300000 1000000}
tmp=${TMPDIR:-/tmp}/solver_scaling.$$
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT
table="$tmp/table"
: >"$table"
for n in $sizes; do
  modes=sparse,cholmod,cholmod-amd
  [ "$n" -le 100000 ] && modes=envelope,$modes
  echo "== $set_name n=$n  load: $(cut -d' ' -f1-3 /proc/loadavg)"
  "$build/bench/spline/bench_solver_paths" --set "$set_name" --n "$n" --modes "$modes" |
    grep -v -e '^Constructing' -e '^Size' -e '^Solving' -e '^-- ' -e '^Solver'
  radius=$("$build/bench/spline/bench_solver_paths" --set "$set_name" --n "$n" \
    --write "$tmp/pairs.ptt" | sed 's/.* R \([^,]*\),.*/\1/')
  echo "-- selvane-fit end to end, load: $(cut -d' ' -f1-3 /proc/loadavg)"
  /usr/bin/time -f '%e %M' -o "$tmp/time" "$build/tools/selvane-fit" "$tmp/pairs.ptt" \
    --radius "$radius" >"$tmp/fit.out" 2>&1 || true
  grep -e '^Solver' -e '^Size' -e '^Solving' -e '^Residual' -e 'selvane-fit:' "$tmp/fit.out"
  read -r seconds kib <"$tmp/time"
  echo "end to end: $seconds s, peak $((kib / 1024)) MiB"
  echo "$n $seconds $kib" >>"$table"
  rm -f "$tmp/pairs.ptt"
done
echo "== $set_name: n, end-to-end seconds, peak MiB"
awk '{ printf "%8d %9.2f %8d\n", $1, $2, $3 / 1024 }' "$table"
awk '$2 > 0 { x = log($1); y = log($2); z = log($3); n++; sx += x; sy += y; sz += z;
              sxx += x * x; sxy += x * y; sxz += x * z }
     END { if (n > 1) { d = n * sxx - sx * sx;
             printf "growth exponent: time %.2f, memory %.2f\n", (n * sxy - sx * sy) / d,
                    (n * sxz - sx * sz) / d } }' "$table"
