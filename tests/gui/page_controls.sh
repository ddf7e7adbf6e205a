#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Controls of the settings pages that only a real window shows: the ABR box's arrows and the
# output file chooser, driven through the accessibility tree and the pointer.
set -euo pipefail
if [ -z "${PELMORA_ON_SESSION_BUS:-}" ]; then
    export PELMORA_ON_SESSION_BUS=1
    exec dbus-run-session -- bash "$0" "$@"
fi
PELMORA=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/env.sh"
gui_setup
gui_copy_program "$PELMORA"
gui_start_app
first=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
gui_wait_accessibility
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/page_controls.py" "$GUI_WORK/prog" ||
    { echo "app log:" >&2; cat "$GUI_WORK/app.log" >&2; exit 1; }
gui_close_window
gui_wait_exit "$first" 20
echo "GUI page controls passed"
