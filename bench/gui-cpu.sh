#!/usr/bin/env bash
# CPU share of the whole desktop application while it records the simulated sensor (about 58 trace
# frames a second, shown as about 30 pictures) in a 1024 x 600 window: CPU time (user + system,
# all threads) over wall time.
# Runs offscreen, or on Xvfb when it is installed (VELORIN_NO_XVFB=1 keeps it offscreen).
# Usage: bench/gui-cpu.sh [build/bin/velorin] [seconds]
set -euo pipefail
bin=${1:-build/bin/velorin}
seconds=${2:-60}
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
  Xvfb :97 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  export DISPLAY=:97 QT_QPA_PLATFORM=xcb
  surface="Xvfb"
else
  export QT_QPA_PLATFORM=offscreen
  surface="offscreen"
fi

/usr/bin/time -o "$work/time" -f "%U %S %e %M" \
  "$bin" --sensor sim --duration "$seconds" --documents "$work/docs" --settings "$work/settings.json" \
  --script "$work/start.script" >"$work/out" 2>"$work/err" || {
  echo "velorin failed:" >&2
  tail -5 "$work/err" >&2
  exit 1
}
read -r user system wall peak <"$work/time"

ecg=$(find "$work/docs" -name '*.ecg' -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
awk -v u="$user" -v s="$system" -v w="$wall" -v m="$peak" -v e="$ecg" -v surf="$surface" 'BEGIN {
  printf "velorin on %s, %.1f s wall: user %.2f s, system %.2f s, peak %d KB, recorded %d bytes of .ecg\n", surf, w, u, s, m, e
  printf "CPU share: %.2f%% of one core\n", 100 * (u + s) / w
}'
[ "$ecg" -gt 0 ] || { echo "nothing was recorded" >&2; exit 1; }
