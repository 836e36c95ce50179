#!/usr/bin/env bash
# Whole-program figures of velorin-report on a day-long recording stream (771,429 packets):
# --edf and --csv timed with /usr/bin/time. The stream comes from velorin-record's simulated sensor
# in virtual time, a day of it, with marked events from a script.
# Usage: bench/report-day.sh [build/bin]
set -euo pipefail
bin=${1:-build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two marked events and one short packet, so that both exports carry annotations.
printf '1 choose 1\n2 start\n1000 mark Walking none\n2000 sim short\n40000 mark Sitting palpitations\n' \
  >"$work/day.script"
"$bin/velorin-record" --settings "$work/settings.json" --documents "$work/docs" --sensor sim --clock virtual \
  --start 2026-12-06T08:00:00 --duration 86400 --accept-terms --script "$work/day.script" >/dev/null 2>&1
stream=$(ls -S "$work/docs"/*.s2 | head -n 1)
echo "stream: $(basename "$stream"), $(stat -c %s "$stream") bytes"

for what in edf csv; do
  echo "== --$what"
  /usr/bin/time -o "$work/time" -f "wall %e s, user %U s, system %S s, peak %M KB" \
    "$bin/velorin-report" "$stream" --settings "$work/settings.json" --$what "$work/day.$what"
  cat "$work/time"
  echo "output: $(stat -c %s "$work/day.$what") bytes"
done
echo "csv lines: $(wc -l <"$work/day.csv")"
