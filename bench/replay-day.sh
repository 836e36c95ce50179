#!/usr/bin/env bash
# Whole-program figures of replays, measured with /usr/bin/time: a day's recording stream file (written
# by the recorder itself from the simulated sensor) and a day's packet log (771,429 lines), each replayed
# in virtual time. A replay is checked once and read again as it plays, one update at a time, so peak
# memory should not grow with the file.
# Usage: bench/replay-day.sh [build/bin/velorin-record]
set -euo pipefail
bin=${1:-build/bin/velorin-record}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
common=(--settings "$work/settings.json" --clock virtual --start 2026-12-06T08:00:00)
timed() { /usr/bin/time -o "$work/time" -f "wall %e s, user %U s, system %S s, peak %M KB" "$bin" "${common[@]}" "$@"; }

"$bin" "${common[@]}" --accept-terms --documents "$work/day" --duration 86400 >/dev/null 2>&1
stream=$(ls "$work/day"/*.s2)
echo "== a day's stream file ($(stat -c %s "$stream") bytes)"
timed --documents "$work/fromstream" --sensor "replay:$stream" >/dev/null 2>&1
cat "$work/time"
echo "chunks written: $(ls "$work/fromstream"/*.ecg | wc -l)"

awk 'BEGIN { for (i = 0; i < 771429; ++i) printf "2A37: %02X%02X0203040506070809101112131415161718\n", i % 256, int(i / 256) % 256 }' \
  >"$work/day.log"
echo "== a day's packet log ($(stat -c %s "$work/day.log") bytes)"
timed --documents "$work/fromlog" --sensor "replay:$work/day.log" >/dev/null 2>&1
cat "$work/time"
echo "chunks written: $(ls "$work/fromlog"/*.ecg | wc -l)"
