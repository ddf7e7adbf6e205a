#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The settings pages driven through the accessibility tree, with a real sound server playing
# a 1 kHz tone; checks the files and logs the program writes. Runs itself on a private
# session bus, on which the accessibility bus starts.
set -euo pipefail
if [ -z "${PELMORA_ON_SESSION_BUS:-}" ]; then
    export PELMORA_ON_SESSION_BUS=1
    exec dbus-run-session -- bash "$0" "$@"
fi
PELMORA=$1
HELPER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/env.sh"
gui_setup
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 30 1000
gui_play_tone "$GUI_WORK/tone.raw"
gui_start_app
first=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
# The sound server wakes its idle monitor source a while after the first client connects.
gui_wait_meters
gui_wait_accessibility
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/settings_pages.py" "$GUI_WORK/prog" "$HELPER" ||
    { echo "app log:" >&2; cat "$GUI_WORK/app.log" >&2; exit 1; }
gui_close_window
gui_wait_exit "$first" 20
