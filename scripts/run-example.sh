#!/usr/bin/env bash
# Runs the agent with a FILE data provider on the shipped example (examples/hostload.mdl)
# and shows the example's tables as the management server samples them, every few
# seconds, until Ctrl-C (or SIGTERM) ends the agent.
#
# usage: scripts/run-example.sh BUILD_DIR
# The run's state (work directory, data files, trace) is kept in BUILD_DIR/example.
# ZEVA_DCH_PORT and ZEVA_RAF_PORT choose the agent's ports (1919 and 1920).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
state=$build/example
bin=$build/bin
export ZEVA_DCH_PORT=${ZEVA_DCH_PORT:-1919}
export ZEVA_RAF_PORT=${ZEVA_RAF_PORT:-1920}

mkdir -p "$state/work"
cd "$state" || exit 1
# The start-up configuration is the data provider's to rewrite: a copy of the example's.
[[ -f work/ZEVPCNFG ]] || cp "$root/examples/ZEVPCNFG" work/
: > loadavg.txt

# The data the example's sources read: /proc/loadavg appended as a line (its TAIL
# source reads what was appended), some /proc/meminfo counters written whole and
# renamed into place (its COPY source reads the whole file).
write_data() {
  while true; do
    cat /proc/loadavg >> loadavg.txt
    awk '/^(MemTotal|MemFree|MemAvailable|Buffers|Cached|SwapFree):/ { sub(":", "", $1); print $1, $2 }' \
      /proc/meminfo > meminfo.new && mv meminfo.new meminfo.txt
    sleep 2
  done
}
write_data &
writer=$!

ZEV_WORK_PATH=$state/work/ ZEV_PRODSPEC_PATH=$root/examples/ ZEVP_META_PATH=$root/examples \
  ZEVA_DCH_ADDR=127.0.0.1 ZEV_TRACE=">$state/agent.trc" "$bin/zeva350" FILE &
agent=$!

# A sample's tab-separated lines as columns.
aligned() {
  awk -F'\t' '{ line[NR] = $0; for (i = 1; i <= NF; i++) if (length($i) > width[i]) width[i] = length($i) }
    END { for (n = 1; n <= NR; n++) { k = split(line[n], field, "\t"); out = ""
            for (i = 1; i <= k; i++) out = out sprintf("%-" width[i] + 2 "s", field[i]); print out } }'
}

# Ctrl-C reaches the agent from the terminal; a SIGTERM of this script is passed on.
stop() {
  kill "$writer" 2>/dev/null
  [[ $1 == TERM ]] && kill -TERM "$agent" 2>/dev/null
  if [[ $1 != END ]]; then
    echo
    echo "Waiting for the agent to end (its data provider ends first) ..."
  fi
  wait "$agent"
  status=$?
  tail -n 2 "$state/agent.trc"
  echo "The agent ended with exit status $status; its trace is $state/agent.trc"
  exit "$status"
}
trap 'stop INT' INT
trap 'stop TERM' TERM

echo "zeva350 FILE runs (DCH port $ZEVA_DCH_PORT, framework port $ZEVA_RAF_PORT); Ctrl-C ends it."
# Running, not ended: an ended child stays a zombie until waited for, and kill -0 still reaches it.
agent_runs() { [[ -r /proc/$agent/stat && $(cut -d' ' -f3 "/proc/$agent/stat") != Z ]]; }

while agent_runs; do
  sleep 3
  tables=$("$bin/zevraf" tables 2>/dev/null | awk -F'\t' '$1 == "HOSTLOAD00" { print $2 }')
  [[ -z $tables ]] && { echo "(waiting for the example's tables)"; continue; }
  echo "--- $(date +%T)"
  for table in $tables; do
    "$bin/zevraf" sample HOSTLOAD00 "$table" | aligned
  done
done
stop END
