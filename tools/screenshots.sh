#!/usr/bin/env bash
# Makes the README's screenshots in docs/screenshots/ from real runs of velorin on the simulated
# sensor in an offscreen window, driven by a window script, and from the settings pages' GUI test.
# Run after a build (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/docs/screenshots
bin=$PWD/build/bin
[ -x "$bin/velorin" ] && [ -x "$bin/velorin_gui_tests" ] || { echo "build first: scripts/test" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
cd "$work"

# The terms of use, as a first start shows them.
VELORIN_SCREENSHOT="$out/terms.png" "$bin/velorin" --sensor sim --duration 2 --documents docs \
  --settings first.json 2>/dev/null

# A local collection server for the uploads, so the upload status reads as it does in use.
coproc COLLECTOR { exec "$bin/velorin-collector" --port 0 --data "$work/collected"; }
trap 'kill "$COLLECTOR_PID" 2>/dev/null || true; rm -rf "$work"' EXIT
read -r -t 10 listening <&"${COLLECTOR[0]}"
endpoint="http://${listening#listening on }/Ecg/WriteTicksBase"

# The sensor list with its pin, the monitor recording and marking an event, locked and paused, a
# link that drops (no signal) and comes back (a gap in the trace), then the login page.
echo '{"termsAccept": true}' > settings.json
cat > shots.txt <<SCRIPT
0.2 dismiss
0.5 choose
1 screenshot $out/sensor-choice.png
1.2 choose 1 1234
2 start
33 mark
33.5 screenshot $out/mark-activity.png
34 mark Walking
34.5 screenshot $out/mark-feeling.png
35 mark Walking none
36 screenshot $out/monitor.png
37 lock 1234
37.5 screenshot $out/monitor-locked.png
38 unlock 1234
39 tap
39.5 screenshot $out/monitor-paused.png
40 tap
41 sim away 4
43.5 screenshot $out/monitor-no-signal.png
47.5 screenshot $out/monitor-gap.png
48.5 login
49 screenshot $out/login.png
49.5 quit
SCRIPT
"$bin/velorin" --sensor sim --sim-sensors 3 --documents docs --settings settings.json --script shots.txt \
  --collection-endpoint "$endpoint" 2>/dev/null

# The settings menu, profile and setup pages, and the history tab.
VELORIN_SCREENSHOTS=$out "$bin/velorin_gui_tests" --gtest_filter='SettingsPagesTest.*:HistoryPageTest.*' >/dev/null
# The recording viewer and the report screen, from the history pages' benchmark.
if [ -x "$bin/velorin_history_web_bench" ]; then
  shots=$(mktemp -d)
  "$bin/velorin_history_web_bench" --shots "$shots" >/dev/null 2>&1
  cp "$shots/viewer-recording.png" "$out/viewer.png"
  cp "$shots/report-screen.png" "$out/report.png"
  rm -rf "$shots"
fi
ls -l "$out"
