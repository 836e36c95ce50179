#!/usr/bin/env bash
# The sensor link under a link that drops every 5 s for an hour, against a quiet hour, both on virtual
# time with the simulated sensor: wall time, peak memory, reconnections, and the state at the end.
# Usage: bench/link-drops.sh [build/bin/velorin-record]
set -euo pipefail
bin=${1:-build/bin/velorin-record}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# In the background every packet counts, so both hours write their chunks whatever the link does.
printf '0 background\n0.5 choose 1 1234\n' >"$work/quiet.script"
cp "$work/quiet.script" "$work/drops.script"
for ((t = 5; t < 3600; t += 5)); do echo "$t sim drop"; done >>"$work/drops.script"

for kind in quiet drops; do
  /usr/bin/time -o "$work/$kind.time" -f "wall %e s, peak %M KB" \
    "$bin" --settings "$work/$kind.json" --documents "$work/$kind" --accept-terms --clock virtual \
    --start 2026-12-06T08:00:00 --duration 3600 --script "$work/$kind.script" >"$work/$kind.out" 2>"$work/$kind.err"
  echo "== $kind hour: $(cat "$work/$kind.time")"
  echo "   pin writes: $(grep -c 'sim write 2A39' "$work/$kind.err"), \"Sensor disconnected.\" notices: $(grep -c 'Sensor disconnected.' "$work/$kind.out" || true), last sensor icon: $(grep ' sensor ' "$work/$kind.out" | tail -1 | cut -d' ' -f3)"
  echo "   .ecg files: $(ls "$work/$kind"/*.ecg | wc -l), output lines: $(grep -c . "$work/$kind.out")"
done
