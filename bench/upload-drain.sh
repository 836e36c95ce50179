#!/usr/bin/env bash
# How fast a day of buffered uploads reaches the collector once the network is back:
#  - a day (86400 s) of the simulated sensor recorded offline in virtual time fills Buffer
#    (one file per 30-s chunk);
#  - a real-clock run on the same documents goes online at once; its first flush (about 30 s in)
#    starts the pass that sends them, four requests at a time, alongside the new chunks.
# Prints the drain times, the collector's counts (a file sent again while its request was open
# shows up as a duplicate) and the recorder's peak memory during the drain.
# COLLECTOR_DELAY_MS=N holds back every answer N ms, so that later passes meet files still open.
# Usage: [COLLECTOR_DELAY_MS=N] bench/upload-drain.sh [build/bin]
set -euo pipefail
bin=${1:-build/bin}
work=$(mktemp -d)
collector_pid=
cleanup() {
  [ -n "$collector_pid" ] && kill "$collector_pid" 2>/dev/null && wait "$collector_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
diff_s() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }
count() { [ -d "$1" ] && find "$1" -mindepth 1 -maxdepth 1 | wc -l || echo 0; }

"$bin/velorin-collector" --port 0 --data "$work/collector" --delay-ms "${COLLECTOR_DELAY_MS:-0}" >"$work/collector.out" 2>"$work/collector.log" &
collector_pid=$!
for _ in $(seq 100); do grep -q listening "$work/collector.out" && break; sleep 0.1; done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/collector.out")
[ -n "$port" ] || { echo "the collector did not start"; cat "$work/collector.log"; exit 1; }
endpoint="http://127.0.0.1:$port/Ecg/WriteTicksBase"
record=("$bin/velorin-record" --settings "$work/settings.json" --documents "$work/docs" --accept-terms
        --sensor sim --collection-endpoint "$endpoint")

# The day lies well before the real-clock run, so no stamp of the two runs can be the same.
echo "== 24 h offline, virtual clock"
printf '0 start\n0 offline\n0.5 choose 1\n' >"$work/offline.script"
/usr/bin/time -o "$work/time" -f "wall %e s, peak %M KB" \
  "${record[@]}" --clock virtual --start 2017-05-27T00:00:00 --duration 86400 \
  --script "$work/offline.script" >/dev/null 2>"$work/offline.err"
cat "$work/time"
kept=$(count "$work/docs/Buffer")
echo "buffered files: $kept ($(du -sk "$work/docs/Buffer" | cut -f1) KB)"

echo "== online, real clock: drain"
printf '0 start\n0 online\n' >"$work/online.script"
start=$(now)
/usr/bin/time -v -o "$work/time" "${record[@]}" --duration "${DRAIN_RUN_SECONDS:-100}" \
  --script "$work/online.script" >/dev/null 2>"$work/online.err" &
recorder_pid=$!
first= empty=
while kill -0 "$recorder_pid" 2>/dev/null; do
  left=$(count "$work/docs/Buffer")
  [ -z "$first" ] && [ "$left" -lt "$kept" ] && first=$(now)
  [ -z "$empty" ] && [ "$left" -eq 0 ] && { empty=$(now); break; }
  sleep 0.05
done
wait "$recorder_pid" || echo "recorder exit status $?"

stats=$(curl -s --noproxy '*' "http://127.0.0.1:$port/stats")
left=$(count "$work/docs/Buffer")
if [ -n "$first" ]; then
  echo "first buffered file delivered $(diff_s "$start" "$first") s after going online"
else
  echo "no buffered file was delivered"
fi
if [ -n "$empty" ]; then
  echo "Buffer empty $(diff_s "$start" "$empty") s after going online ($(diff_s "$first" "$empty") s after the first delivery)"
else
  echo "Buffer not empty when the run ended: $left files left"
fi
echo "collector: $stats"
echo "files stored: $(count "$work/collector/uploads") (expected: $kept buffered + the drain run's chunks)"
grep -E "Maximum resident set size|Elapsed \(wall" "$work/time" | sed 's/^\s*/recorder /'
echo "recorder log lines: $(wc -l <"$work/online.err"), errors: $(grep -c 'Error = ' "$work/online.err" || true)"
