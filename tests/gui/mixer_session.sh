#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The General page's mixer controls on a real sound server, driven through the accessibility
# tree. Runs under its own session bus (dbus-run-session) so that the program's controls are
# exported to AT-SPI.
set -euo pipefail
PELMORA=$1
HERE="$(cd "$(dirname "$0")" && pwd)"
source "$HERE/env.sh"
gui_setup
PROG="$GUI_WORK/prog"
gui_copy_program "$PELMORA"
pactl set-source-volume tone.monitor 40000 20000

gui_start_app
gui_wait_window
gui_wait_banner "$GUI_READY"
gui_wait_accessibility
/usr/bin/python3 "$HERE/mixer_atspi.py" "$GUI_WID" || { cat "$GUI_WORK/app.log" >&2; exit 1; }
gui_close_window
gui_wait_exit "$GUI_APP_PID" 20
echo "GUI mixer session passed"
