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
  moved=$("$PROBE" count "$WORK/dragging.png" 255 255 0 $((cx + 190)) $((cy + 355)) 320 60)
  trail=$("$PROBE" count "$WORK/dragging.png" 255 255 0 $((cx + 190)) $((cy + 290)) 320 64)
  [[ $moved -gt 250 && $trail -eq 0 ]] && break
  sleep 0.25
done
xdotool mouseup 1
sleep 0.3
[[ $moved -gt 250 ]] || fail "the moved line is not shown ($moved pixels)"
[[ $trail -eq 0 ]] || fail "the move-line drag left $trail pixels of the line at its old place"


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

# A genuine Access file through both database loads, each followed by a text
# save: the saved text is the file's drawing, whatever was drawn before.
DATA=$(cd "$(dirname "$0")/../data/jet" && pwd)
cp "$DATA/drawing-2000.mdb" "$WORK/access.mdb"
rm -f "$WORK"/*.myd
eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
# Opens the menu bar's first menu, walks `rights` menus to the right and
# `downs` items down, and chooses the item.
choose_menu() {
  click_at $((X + 15)) $((Y + 10))
  local i
  for ((i = 0; i < $1; i++)); do xdotool key Right; sleep 0.1; done
  # A menu reached from the left opens on its first item; one opened by the mouse on none.
  for ((i = 0; i < $2; i++)); do xdotool key Down; sleep 0.1; done
  xdotool key Return
  sleep 0.8
}
answer_file_dialog() {
  xdotool key ctrl+a
  xdotool type --delay 15 "$1"
  sleep 0.2
  xdotool key Return
  sleep 0.8
}
expected=$(printf '1 1 12.5 -4\r\n1 2 0.5 -3\r\n1 3 100 200\r\n2 1 12.5 -4 0.5 -3  65535\r\n2 2 100 200 -0.25 1E+07  16711680\r\n' | od -An -tx1)
save_and_check() {  # name what
  choose_menu 0 2  # 文件 > 保存文件
  answer_file_dialog "$WORK/$1"
  for _ in $(seq 20); do [[ -s "$WORK/$1" ]] && break; sleep 0.25; done
  [[ -s "$WORK/$1" ]] || { shot "no_$1"; fail "$2: the text save wrote nothing"; }
  [[ "$(od -An -tx1 "$WORK/$1")" == "$expected" ]] || fail "$2: saved text differs: $(cat -A "$WORK/$1")"
}
choose_menu 1 2  # 数据库 > 打开数据库文件(Ado)
answer_file_dialog "$WORK/access.mdb"
save_and_check ado.myd "Access file through the ADO load"
click_at $((bx + 44)) $((by + 12))  # Command1 again: add a point that the next load must drop
click_at $((cx + 600)) $((cy + 100))
choose_menu 1 0  # 数据库 > 打开数据库文件(Data)
answer_file_dialog "$WORK/access.mdb"
save_and_check data.myd "Access file through the Data load"
cmp -s "$DATA/drawing-2000.mdb" "$WORK/access.mdb" || fail "the Access file changed"

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
  dot=$("$PROBE" count "$WORK/scale2.png" 255 0 244 $((cx + 398)) $((cy + 298)) 6 6)
  [[ $dot -ge 1 ]] && break
  sleep 0.25
done
[[ $dot -eq 1 ]] || fail "the point at scale 2 covers $dot screen pixels, not one"
close_editor
echo "e2e: Command1 changed $changed pixels, two points and a line drawn, line moved without a trail," \
  "a point deleted from the toolbar and back with Ctrl+Z, a wheel zoom about the pointer," \
  "an Access file loaded through both routes and saved as text, a crisp point at scale 2, clean exits"
