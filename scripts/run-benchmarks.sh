#!/bin/sh
# Runs every benchmark of a build on generated models and keeps their output.
#   run-benchmarks.sh BUILD_DIR OUT_DIR
set -eu
build=$1
out=$2
mkdir -p "$out/models"
models="$out/models"
make_model="$build/data/selvane-make-model"
# 1,000,000 triangles: 1000 x 500 quads of the torus, each cut in two.
[ -s "$models/torus1m.vtk" ] || "$make_model" --around 1000 --across 500 -o "$models/torus1m.vtk"
[ -s "$models/torus1m-binary.vtk" ] ||
  "$make_model" --around 1000 --across 500 --binary -o "$models/torus1m-binary.vtk"

run() {
  name=$1
  shift
  echo "== $name"
  "$@" 2>&1 | tee "$out/$name.txt"
}

run viewer "$build/bench/viewer/bench_viewer" "$models/torus1m.vtk" "$models/torus1m-binary.vtk"
# 10,000,000 triangles through Open Model, Transform (its default 49 frames) and Save Model As;
# makes its own 250 MB model under the temporary folder and removes it. About 10 minutes.
run large_model "$build/bench/large/bench_large_model"
for program in "$build"/bench/*/bench_*; do
  case "$program" in
  */bench_viewer | */bench_large_model) ;;
  *) [ -x "$program" ] && run "$(basename "$program")" "$program" ;;
  esac
done
