#!/usr/bin/env bash
# The real editor in a real X server: it shows its window, reacts to a click
# on a tool button and closes cleanly.
set -euo pipefail
PROGRAM=$1
WORK=$2
PROBE=$(dirname "$PROGRAM")/e2e_probe
mkdir -p "$WORK"
rm -f "$WORK"/*.png "$WORK/display"
source "$(dirname "$0")/xvfb_session.sh"

start_xvfb
start_editor
shot start
read -r cx cy < <("$PROBE" canvas "$WORK/start.png") || fail "no drawing area on the screen"

# Command1 lies at (8, 464), 89 x 25 pixels, within the drawing area.
bx=$((cx + 8)) by=$((cy + 464))
click_at $((bx + 44)) $((by + 12))
xdotool mousemove --sync $((cx + 300)) $((cy + 300))  # away from the button's hover look
sleep 0.3
shot after_command1
changed=$("$PROBE" changed "$WORK/start.png" "$WORK/after_command1.png" "$bx" "$by" 89 25)
[[ $changed -gt 20 ]] || fail "Command1 did not change its caption ($changed pixels changed)"

close_editor
echo "e2e: window at canvas ($cx, $cy), Command1 changed $changed pixels, clean exit"
