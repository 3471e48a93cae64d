#!/usr/bin/env bash
# Runs every benchmark of a benchmark build folder, one after the other.
#   scripts/run-benchmarks.sh <build folder>
set -euo pipefail

build=$(cd "${1:?build folder}" && pwd)  # absolute: the programs they start run in folders of their own
list="$build/benchmarks"
[[ -d "$list" ]] || { echo "no benchmarks listed in $list: build the benchmark folder first" >&2; exit 1; }
for name in $(ls "$list"); do
  echo "== $name"
  ZEV_TEST_TOOLS="$build/bin" "$build/bin/$name"
done
