#!/usr/bin/env bash
# CPU share of the whole desktop application while it records the simulated sensor (about 58 trace
# frames a second, shown as about 30 pictures) in a 1024 x 600 window: CPU time (user + system,
# all threads) over wall time, for the whole run and for the steady state alone (from 10 s after
# start to the end, read from /proc, so start-up and the first layouts are left out). On Xvfb the
# X server's own share over the same window is shown too: it is the cost of what we send it.
# Runs offscreen, or on Xvfb when it is installed (VELORIN_NO_XVFB=1 keeps it offscreen).
# Usage: bench/gui-cpu.sh [build/bin/velorin] [seconds, at least 20]
set -euo pipefail
bin=${1:-build/bin/velorin}
seconds=${2:-60}
settle=10
[ "$seconds" -ge 20 ] || { echo "run for at least 20 s" >&2; exit 2; }
work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

printf '{\n  "termsAccept": true\n}\n' >"$work/settings.json"
# Choose the one simulated sensor, then start recording once it streams.
printf '0.5 choose 1\n2 start\n' >"$work/start.script"
mkdir "$work/docs"

if command -v Xvfb >/dev/null && [ "${VELORIN_NO_XVFB:-0}" != 1 ]; then
  display=:97
  while [ -e "/tmp/.X${display#:}-lock" ]; do display=:$((${display#:} + 1)); done
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  export DISPLAY=$display QT_QPA_PLATFORM=xcb
  surface="Xvfb"
else
  export QT_QPA_PLATFORM=offscreen
  surface="offscreen"
fi

# utime + stime of a process in clock ticks, or nothing once it is gone.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null || true; }
now() { date +%s.%N; }

/usr/bin/time -o "$work/time" -f "%U %S %e %M" \
  "$bin" --sensor sim --duration "$seconds" --documents "$work/docs" --settings "$work/settings.json" \
  --script "$work/start.script" >"$work/out" 2>"$work/err" &
timer=$!
app=
for _ in $(seq 50); do
  app=$(pgrep -P "$timer" || true)
  [ -n "$app" ] && break
  sleep 0.1
done
[ -n "$app" ] || { echo "velorin did not start" >&2; exit 1; }

sleep "$settle"
from_app=$(ticks "$app") from_x=${xvfb:+$(ticks "$xvfb")} from=$(now)
sleep $((seconds - settle - 2))
to_app=$(ticks "$app") to_x=${xvfb:+$(ticks "$xvfb")} to=$(now)

wait "$timer" || {
  echo "velorin failed:" >&2
  tail -5 "$work/err" >&2
  exit 1
}
read -r user system wall peak <"$work/time"

ecg=$(find "$work/docs" -name '*.ecg' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
awk -v u="$user" -v s="$system" -v w="$wall" -v m="$peak" -v e="$ecg" -v surf="$surface" \
  -v a0="$from_app" -v a1="$to_app" -v x0="${from_x:-0}" -v x1="${to_x:-0}" -v t0="$from" -v t1="$to" \
  -v hz="$(getconf CLK_TCK)" -v settle="$settle" -v xvfb="$xvfb" 'BEGIN {
  printf "velorin on %s, %.1f s wall: user %.2f s, system %.2f s, peak %d KB, recorded %d bytes of .ecg\n", surf, w, u, s, m, e
  printf "CPU share, whole run: %.2f%% of one core\n", 100 * (u + s) / w
  printf "CPU share, steady state (%.0f s from %d s on): %.2f%% of one core\n", t1 - t0, settle, 100 * (a1 - a0) / hz / (t1 - t0)
  if (xvfb != "")
    printf "X server over the same window: %.2f%% of one core\n", 100 * (x1 - x0) / hz / (t1 - t0)
}'
[ "$ecg" -gt 0 ] || { echo "nothing was recorded" >&2; exit 1; }
