# Sourced by screenshot.sh: draws a small scene with real clicks.
import -window root "$WORK/blank.png"
read -r cx cy < <("$root/build/e2e_probe" canvas "$WORK/blank.png")
button() { click_at $((cx + $1)) $((cy + 476)); }  # a tool button by its left edge + half width
line() {
  click_at $((cx + $1)) $((cy + $2))
  move_to $(((cx + $1 + cx + $3) / 2)) $(((cy + $2 + cy + $4) / 2))
  move_to $((cx + $3)) $((cy + $4))
  click_at $((cx + $3)) $((cy + $4))
}
click_at $((cx + 860)) $((cy + 27))  # pen width 3: the box, then down three items
xdotool key Down Down Down
sleep 0.3
button 52  # add points
for p in "180 120" "260 90" "330 160" "420 110" "610 140" "700 90" "760 200"; do
  set -- $p
  click_at $((cx + $1)) $((cy + $2))
done
button 388  # add lines
line 150 380 430 220
line 430 220 620 330
line 620 330 820 250
line 250 300 560 420
button 508  # pick a line
click_at $((cx + 525)) $((cy + 275))
move_to $((cx + 880)) $((cy + 60))
