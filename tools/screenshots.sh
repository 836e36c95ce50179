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

# The monitor recording, locked and paused, then the login page.
echo '{"termsAccept": true}' > settings.json
cat > shots.txt <<SCRIPT
0.5 choose 1 1234
1.5 start
6 mark Walking none
7 screenshot $out/monitor.png
8 lock 1234
8.5 screenshot $out/monitor-locked.png
9 unlock 1234
10 tap
10.5 screenshot $out/monitor-paused.png
11 tap
12.5 login
13 screenshot $out/login.png
13.5 quit
SCRIPT
"$bin/velorin" --sensor sim --documents docs --settings settings.json --script shots.txt 2>/dev/null

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
