#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Layout of every settings page and tuning dialog under two fonts (DejaVu Sans and Nimbus
# Sans, each answering for "Arial" and for the desktop's sans-serif face) and two text
# scales (the larger in the dark theme), measured through the accessibility tree by
# layout_check.py, with the contrast of the tab titles and the status panel measured on the
# screen. Each combination runs in a session of its own.
# Usage: layout.sh PELMORA GUI_HELPER [FONT SCALE]
# With LAYOUT_SHOTS=FOLDER, a screenshot of every page goes there.
set -euo pipefail
PELMORA=$(realpath "$1")
HELPER=$(realpath "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 4 ]; then
    failed=0
    for font in "DejaVu Sans" "Nimbus Sans"; do
        for scale in 1 1.5; do
            # A home of its own: the accessibility bus keeps its socket there, and a session
            # that ends removes it.
            home=$(mktemp -d /tmp/pelmora-layout-XXXXXX)
            chmod 755 "$home"
            # Half of the runs in the dark theme.
            theme=Adwaita
            [ "$scale" = 1.5 ] && theme=Adwaita:dark
            HOME=$home GTK_THEME=$theme dbus-run-session -- bash "$0" "$PELMORA" "$HELPER" "$font" "$scale" || failed=1
            rm -rf "$home"
        done
    done
    [ "$failed" = 0 ] || { echo "FAIL: controls cut, crossing their frames or overlapping (listed above)" >&2; exit 1; }
    echo "layout holds at both fonts and text scales"
    exit 0
fi
font=$3
scale=$4
source "$HERE/env.sh"
fc-list ":family=$font" | grep -q . || gui_fail "font $font is not installed"
gui_setup
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 60 1000
gui_play_tone "$GUI_WORK/tone.raw"
cat > "$GUI_WORK/fonts.conf" <<FC
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern">
    <test name="family" qual="any"><string>Arial</string></test>
    <edit name="family" mode="assign" binding="strong"><string>$font</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>sans-serif</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>$font</string></edit>
  </match>
  <match target="pattern">
    <test name="family" qual="any"><string>Sans</string></test>
    <edit name="family" mode="prepend" binding="strong"><string>$font</string></edit>
  </match>
</fontconfig>
FC
FONTCONFIG_FILE="$GUI_WORK/fonts.conf" GDK_DPI_SCALE=$scale gui_start_app
pid=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
gui_wait_accessibility
FONTCONFIG_FILE="$GUI_WORK/fonts.conf" PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/layout_check.py" \
    "[$font, text x$scale, ${GTK_THEME:-default theme}]" "${LAYOUT_SHOTS:-}" "$scale" ||
    { gui_close_window; gui_wait_exit "$pid" 20; exit 1; }
gui_close_window
gui_wait_exit "$pid" 20
