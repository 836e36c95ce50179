#!/usr/bin/env bash
# What a recorded day costs the recorder's network side: `velorin-record --sensor sim --clock virtual
# --duration 86400` with its documents on tmpfs (/dev/shm), the best of RUNS runs (3 unless given) of
#  - "nothing": the built-in collection URL with nothing listening there;
#  - "offline": a script that goes offline at once, so nothing is tried;
#  - "healthy": velorin-collector on 127.0.0.1 (its own CPU is printed beside);
#  - "buffer10k" (BUFFER10K=1): the healthy collector with 10,000 kept files in Buffer at the start.
# For each: wall, user and system seconds; for "nothing" also the connection attempts (strace) and the
# files left in Buffer.
# Usage: [RUNS=N] [BUFFER10K=1] bench/net-day.sh [build/bin]
set -euo pipefail
bin=${1:-build/bin}
runs=${RUNS:-3}
work=$(mktemp -d /dev/shm/velorin-net-day.XXXXXX)
collector_pid=
cleanup() {
  [ -n "$collector_pid" ] && kill "$collector_pid" 2>/dev/null && wait "$collector_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

record=("$bin/velorin-record" --settings "$work/settings.json" --accept-terms --sensor sim --clock virtual
        --start 2026-12-06T08:00:00 --duration 86400)
printf '0 start\n0 offline\n0.5 choose 1\n' >"$work/offline.script"

# best NAME ARGS...: RUNS runs on fresh documents, the one of least wall time printed.
best() {
  local name=$1
  shift
  local line best_line= best_wall=
  for _ in $(seq "$runs"); do
    rm -rf "$work/docs"
    [ -n "${PREPARE:-}" ] && $PREPARE
    /usr/bin/time -o "$work/time" -f "%e %U %S" "${record[@]}" --documents "$work/docs" "$@" >/dev/null 2>"$work/$name.err"
    line=$(cat "$work/time")
    if [ -z "$best_wall" ] || awk -v a="${line%% *}" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
      best_wall=${line%% *}
      best_line=$line
    fi
  done
  read -r wall user sys <<<"$best_line"
  printf '%-10s wall %s s, user %s s, system %s s (best of %s)\n' "$name" "$wall" "$user" "$sys" "$runs"
}

best nothing
if command -v strace >/dev/null; then
  rm -rf "$work/docs"
  strace -f -e trace=connect -o "$work/connects" "${record[@]}" --documents "$work/docs" >/dev/null 2>&1
  echo "nothing: $(grep -c 'sin_port=htons' "$work/connects") connection attempts," \
       "$(find "$work/docs/Buffer" -mindepth 1 -maxdepth 1 | wc -l) files in Buffer"
fi
best offline --script "$work/offline.script"

"$bin/velorin-collector" --port 0 --data "$work/collector" >"$work/collector.out" 2>"$work/collector.log" &
collector_pid=$!
for _ in $(seq 100); do grep -q listening "$work/collector.out" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/collector.out")
[ -n "$port" ] || { echo "the collector did not start"; cat "$work/collector.log"; exit 1; }
endpoint="http://127.0.0.1:$port/Ecg/WriteTicksBase"
collector_cpu() { awk '{ printf "%.2f", ($14 + $15) / 100 }' "/proc/$collector_pid/stat"; }

before=$(collector_cpu)
best healthy --collection-endpoint "$endpoint"
echo "healthy: collector CPU $(awk -v a="$(collector_cpu)" -v b="$before" -v n="$runs" 'BEGIN { printf "%.2f", (a - b) / n }') s per run"

if [ "${BUFFER10K:-0}" = 1 ]; then
  fill() {
    mkdir -p "$work/docs/Buffer"
    head -c 5092 /dev/urandom >"$work/chunk"
    for i in $(seq 0 9999); do
      cp "$work/chunk" "$work/docs/Buffer/2026-11-$(printf '%02d' $((i / 2880 + 1)))_$(printf '%06d' $((i % 2880)))_0.000000_0.000000.ecg"
    done
  }
  PREPARE=fill best buffer10k --collection-endpoint "$endpoint"
fi
