#!/usr/bin/env bash
# Makes the Debian package, checks what it declares and holds, unpacks it into
# a temporary root with dpkg-deb -x and starts the editor from there under
# Xvfb with a drawing named on its command line.
#   deb_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
BUILD=$1
WORK=$2
PROBE=$BUILD/e2e_probe
rm -rf "$WORK"
mkdir -p "$WORK"
source "$(dirname "$0")/../e2e/xvfb_session.sh"

(cd "$BUILD" && cpack -G DEB -B "$WORK/out") >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
debs=("$WORK"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == pointline ]] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for need in libqt6widgets6 libqt6gui6 libsqlite3-0 libmdb3 fonts-noto-cjk qt6-translations-l10n libc6; do
  grep -Eq "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
done

root=$WORK/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/pointline usr/bin/pointline-mdbreader usr/share/applications/pointline.desktop \
  usr/share/icons/hicolor/scalable/apps/pointline.svg usr/share/mime/packages/pointline.xml; do
  [[ -f $root/$f ]] || fail "the package lacks /$f"
done
desktop=$root/usr/share/applications/pointline.desktop
grep -qx 'Name=点线编辑器' "$desktop" || fail "desktop entry: Name"
grep -qx 'Exec=pointline %f' "$desktop" || fail "desktop entry: Exec"
grep -q '^MimeType=.*application/x-pointline-drawing;' "$desktop" || fail "desktop entry: no .myd type"
grep -q '^MimeType=.*application/vnd.ms-access;' "$desktop" || fail "desktop entry: no .mdb type"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi
grep -q 'pattern="\*.myd"' "$root/usr/share/mime/packages/pointline.xml" || fail "file type: no *.myd"

# A red line through the centre and a point up and to the right, in a file
# whose name has a blank and Chinese characters, as a file manager passes it.
drawing="$WORK/图 1.myd"
printf '1 1 50 50\r\n2 1 -100 0 100 0  255\r\n' >"$drawing"
PROGRAM=$root/usr/bin/pointline
start_xvfb
start_editor "$drawing"
shot loaded
read -r cx cy < <("$PROBE" canvas "$WORK/loaded.png") || fail "no drawing area on the screen"
# 200 world units over 577 pixels, the origin at (469, 288).
expect_pixel $((cx + 469)) $((cy + 288)) "255 0 0" "the line through the centre" loaded
expect_pixel $((cx + 400)) $((cy + 288)) "255 0 0" "the line left of the centre" loaded
expect_pixel $((cx + 613)) $((cy + 144)) "255 0 244" "the point" loaded
close_editor
echo "package: $(basename "$deb"), Depends: $depends; started from the unpacked root with $(basename "$drawing")"
