#!/usr/bin/env bash
# Fuzzes every harness of a fuzz build folder for a bounded time, some at once.
#   scripts/run-fuzzers.sh <build folder> <seconds per harness> <harnesses at once>
# The corpus folder in the source tree is only read: what a run finds goes to
# <build>/fuzz-work/<harness>/, and an input that makes a harness fail to
# <build>/fuzz-artifacts/<harness>/ (copy it into the corpus folder once mended, so
# that make test runs it from then on). The exit status is 1 when any harness failed.
set -euo pipefail

build=${1:?build folder}
seconds=${2:-60}
parallel=${3:-$(nproc)}
list="$build/fuzzers"
[[ -d "$list" ]] || { echo "no harnesses listed in $list: build the fuzz folder first" >&2; exit 1; }

fuzz_one() {
  local build=$1 seconds=$2 name=$3
  local corpus dict work artifacts log
  local -a options=()
  { read -r corpus; read -r dict || true; } <"$build/fuzzers/$name"
  [[ -n "$dict" ]] && options+=(-dict="$dict")
  work="$build/fuzz-work/$name"
  artifacts="$build/fuzz-artifacts/$name"
  log="$build/fuzz-logs/$name.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  if "$build/bin/$name" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 -print_final_stats=1 \
       "${options[@]}" -artifact_prefix="$artifacts/" "$work" "$corpus" >"$log" 2>&1; then
    echo "ok    $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs"
  else
    echo "FAIL  $name: see $log and $artifacts/"
    return 1
  fi
}
export -f fuzz_one

echo "Fuzzing each harness for $seconds s, $parallel at once"
ls "$list" | xargs -P "$parallel" -I{} bash -c 'fuzz_one "$@"' _ "$build" "$seconds" {}
