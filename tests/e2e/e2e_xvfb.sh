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

# The colour somewhere within two pixels of a position.   expect_near X Y "R G B" WHAT SHOT
expect_near() {
  local n
  for _ in $(seq 20); do
    n=$("$PROBE" count "$WORK/$5.png" $3 $(($1 - 2)) $(($2 - 2)) 5 5)
    [[ $n -gt 0 ]] && return 0
    sleep 0.25
    shot "$5"
  done
  fail "$4: no ($3) within two pixels of ($1, $2)"
}

# Pick the first point, delete it with the toolbar's 删除点, then Ctrl+Z.
click_at $((cx + 120 + 44)) $((cy + 464 + 12))  # Command2
click_at $((cx + 200)) $((cy + 150))
shot picked
# The toolbar's point icons, left to right: 添加点, 拾取点, 修改点, 删除点.
mapfile -t icons < <("$PROBE" groups "$WORK/picked.png" 255 0 244 0 0 1280 "$cy")
[[ ${#icons[@]} -eq 4 ]] || fail "expected four point icons on the toolbar, found ${#icons[@]}"
read -r dx dy <<<"${icons[3]}"
click_at "$dx" "$dy"
move_to $((cx + 700)) $((cy + 100))
shot deleted
expect_pixel $((cx + 200)) $((cy + 150)) "0 0 0" "the deleted point" deleted
expect_pixel $((cx + 300)) $((cy + 150)) "255 0 244" "the point left" deleted
xdotool key ctrl+z
sleep 0.3
shot undone
expect_pixel $((cx + 200)) $((cy + 150)) "255 0 244" "the deleted point after undo" undone

# A wheel notch forward over the second point: it stays under the pointer and
# the first one moves to 1.25 times its distance.
move_to $((cx + 300)) $((cy + 150))
xdotool click 4
sleep 0.3
shot zoomed
expect_near $((cx + 300)) $((cy + 150)) "255 0 244" "the point under the pointer" zoomed
expect_near $((cx + 175)) $((cy + 150)) "255 0 244" "the other point, 1.25 times as far" zoomed
expect_pixel $((cx + 200)) $((cy + 150)) "0 0 0" "the other point's old place" zoomed

close_editor
echo "e2e: window at canvas ($cx, $cy), Command1 changed $changed pixels, two points and a line drawn," \
  "a point deleted from the toolbar and back with Ctrl+Z, a wheel zoom about the pointer, clean exit"
