#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Records what an output plays: the user picks "Monitor of ..." in the Device list through the
# accessibility tree, while the desktop's default source is a silent one. Runs under its own
# session bus (dbus-run-session).
set -euo pipefail
PELMORA=$1
HELPER=$2
HERE="$(cd "$(dirname "$0")" && pwd)"
source "$HERE/env.sh"
gui_setup
PROG="$GUI_WORK/prog"
gui_copy_program "$PELMORA"
pactl load-module module-null-source source_name=quiet description=Quiet >/dev/null
pactl set-default-source quiet
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"
"$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" wav

gui_start_app
gui_wait_window
gui_wait_banner "$GUI_READY"
/usr/bin/python3 "$HERE/monitor_atspi.py" || { cat "$GUI_WORK/app.log" >&2; exit 1; }
gui_wait_banner "$GUI_READY"
# The null sink's monitor delivers less than real time for a while after a client connects.
sleep 3
gui_click_record
gui_wait_banner "$GUI_RECORDING" 10
sleep 2
gui_click_record
gui_wait_banner "$GUI_READY" 20
gui_close_window
gui_wait_exit "$GUI_APP_PID" 20
[ ! -s "$GUI_WORK/app.log" ] || gui_fail "the program printed on its terminal: $(head -c 2000 "$GUI_WORK/app.log")"

wav=$(ls "$PROG"/*.wav 2>/dev/null | head -1)
[ -n "$wav" ] || gui_fail "no WAV file was recorded"
line=$("$HELPER" check-wav "$wav") || gui_fail "cannot read $wav"
echo "$(basename "$wav"): $line"
awk -v l="$line" 'BEGIN {
    n = split(l, kv, " ");
    for (i = 1; i <= n; i++) { split(kv[i], p, "="); v[p[1]] = p[2] }
    if (v["hz"] < 950 || v["hz"] > 1050) { print "pitch " v["hz"] " Hz"; exit 1 }
    if (v["rms"] < 0.2) { print "level " v["rms"]; exit 1 }
}' || gui_fail "$wav does not hold the tone played into the sink"
grep -qx "device=tone.monitor" "$PROG/pelmora.conf" || gui_fail "pelmora.conf does not name the monitor: $(cat "$PROG/pelmora.conf")"
echo "GUI monitor session passed"
