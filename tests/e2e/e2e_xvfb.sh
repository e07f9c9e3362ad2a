#!/usr/bin/env bash
# The real editor in a real X server: it shows its window, reacts to clicks on
# tool buttons and on the drawing area, and closes cleanly.
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
move_to $((cx + 300)) $((cy + 300))  # away from the button's hover look
sleep 0.3
# A busy machine may repaint late: each check takes new screenshots for a while.
changed=0
for _ in $(seq 20); do
  shot after_command1
  changed=$("$PROBE" changed "$WORK/start.png" "$WORK/after_command1.png" "$bx" "$by" 89 25)
  [[ $changed -gt 20 ]] && break
  sleep 0.25
done
[[ $changed -gt 20 ]] || fail "Command1 did not change its caption ($changed pixels changed)"

# Two points with the add-point tool, then a line with the add-line tool.
expect_pixel() {  # x y "r g b" what shot
  local got
  for _ in $(seq 20); do
    got=$("$PROBE" pixel "$WORK/$5.png" "$1" "$2")
    [[ "$got" == "$3" ]] && return 0
    sleep 0.25
    shot "$5"
  done
  fail "$4: pixel ($1, $2) is ($got), expected ($3)"
}
click_at $((cx + 200)) $((cy + 150))
click_at $((cx + 300)) $((cy + 150))
click_at $((cx + 344 + 44)) $((cy + 464 + 12))  # Command4
click_at $((cx + 200)) $((cy + 300))
move_to $((cx + 400)) $((cy + 320))
move_to $((cx + 500)) $((cy + 350))
sleep 0.2
click_at $((cx + 500)) $((cy + 350))
move_to $((cx + 700)) $((cy + 100))
sleep 0.3
shot drawn
expect_pixel $((cx + 200)) $((cy + 150)) "255 0 244" "first point" drawn
expect_pixel $((cx + 300)) $((cy + 150)) "255 0 244" "second point" drawn
expect_pixel $((cx + 350)) $((cy + 325)) "255 255 0" "middle of the line" drawn
expect_pixel $((cx + 500)) $((cy + 350)) "255 255 0" "end of the line" drawn
expect_pixel $((cx + 250)) $((cy + 150)) "0 0 0" "between the points" drawn

# A move-line drag at pen width 1 erases the line at its old place: no pixel
# of it is left while the button is still held.
click_at $((cx + 576 + 44)) $((cy + 464 + 12))  # Command6
move_to $((cx + 350)) $((cy + 325))
xdotool mousedown 1
sleep 0.3
for dy in 20 40 60; do move_to $((cx + 350)) $((cy + 325 + dy)); done
sleep 0.3
trail=-1
for _ in $(seq 20); do
  shot dragging
  moved=$("$PROBE" count "$WORK/dragging.png" $((cx + 190)) $((cy + 355)) 320 60 255 255 0)
  trail=$("$PROBE" count "$WORK/dragging.png" $((cx + 190)) $((cy + 290)) 320 64 255 255 0)
  [[ $moved -gt 250 && $trail -eq 0 ]] && break
  sleep 0.25
done
xdotool mouseup 1
sleep 0.3
[[ $moved -gt 250 ]] || fail "the moved line is not shown ($moved pixels)"
[[ $trail -eq 0 ]] || fail "the move-line drag left $trail pixels of the line at its old place"

close_editor
stop_xvfb

# At a device pixel ratio of 2 the drawing area has twice the pixels each way
# and a point of pen width 1 is one crisp pixel, not a block of four.
start_xvfb 2600x1800
QT_SCALE_FACTOR=2 start_editor
shot scale2_start
read -r cx cy < <("$PROBE" canvas "$WORK/scale2_start.png") || fail "no drawing area at scale 2"
read -r cw ch < <("$PROBE" size "$WORK/scale2_start.png")
[[ $cw -ge 1870 && $ch -ge 1100 ]] || fail "the drawing area at scale 2 is ${cw}x${ch} pixels"
click_at $((cx + 2 * 52)) $((cy + 2 * 476))  # Command1, at twice its place
# The area's pixel (200, 150): X reports whole logical pixels, rounded, so an
# even screen pixel is the one that is sure to land in it.
click_at $((cx + 400)) $((cy + 300))
# Its world position is that pixel's centre, a corner of four screen pixels
# at this ratio: one of them shows the point, alone.
dot=0
for _ in $(seq 20); do
  shot scale2
  dot=$("$PROBE" count "$WORK/scale2.png" $((cx + 398)) $((cy + 298)) 6 6 255 0 244)
  [[ $dot -ge 1 ]] && break
  sleep 0.25
done
[[ $dot -eq 1 ]] || fail "the point at scale 2 covers $dot screen pixels, not one"
close_editor
echo "e2e: window at canvas ($cx, $cy), Command1 changed $changed pixels, two points and a line drawn, line moved without a trail, a crisp point at scale 2, clean exit"
