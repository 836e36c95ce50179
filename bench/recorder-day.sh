#!/usr/bin/env bash
# Whole-program figures of the headless recorder, measured with /usr/bin/time:
#  - a day (86400 s) of the simulated sensor in virtual time: wall time and peak memory;
#  - three days stopped in the foreground in virtual time: peak memory;
#  - a minute of the simulated sensor in real time: CPU time.
# Usage: bench/recorder-day.sh [build/bin/velorin-record]
set -euo pipefail
bin=${1:-build/bin/velorin-record}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin" --settings "$work/settings.json" --documents "$work/docs" --accept-terms --duration 0 --clock virtual >/dev/null

echo "== 24 h simulated, virtual clock"
/usr/bin/time -o "$work/time" -f "wall %e s, user %U s, system %S s, peak %M KB" \
  "$bin" --settings "$work/settings.json" --documents "$work/day" --sensor sim --clock virtual \
  --start 2026-12-06T08:00:00 --duration 86400 >"$work/day.out" 2>"$work/day.err"
cat "$work/time"
echo "files: $(ls "$work/day" | wc -l), .ecg: $(ls "$work/day"/*.ecg | wc -l), output lines: $(wc -l <"$work/day.out")"

echo "== 3 days stopped in the foreground, virtual clock (nothing is flushed; memory must stay flat)"
printf "0 foreground\n0.5 choose 1\n" >"$work/stopped.script"
/usr/bin/time -o "$work/time" -f "wall %e s, user %U s, system %S s, peak %M KB" \
  "$bin" --settings "$work/settings.json" --documents "$work/stopped" --sensor sim --clock virtual \
  --start 2026-12-06T08:00:00 --duration 259200 --script "$work/stopped.script" >/dev/null 2>"$work/stopped.err"
cat "$work/time"
echo "files: $(ls "$work/stopped" | wc -l), log lines: $(wc -l <"$work/stopped.err")"

if [ "${SKIP_REAL:-0}" != 1 ]; then
  echo "== 60 s simulated, real clock"
  /usr/bin/time -o "$work/time" -f "wall %e s, user %U s, system %S s, peak %M KB" \
    "$bin" --settings "$work/settings.json" --documents "$work/minute" --sensor sim --duration 60 >"$work/minute.out" 2>/dev/null
cat "$work/time"
  echo "output lines: $(wc -l <"$work/minute.out")"
fi
