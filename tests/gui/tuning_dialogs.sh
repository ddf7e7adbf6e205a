#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The tuning dialogs driven through the accessibility tree while the device captures a tone
# from a private sound server: sound buffers, priorities and the DC filter with its graphs.
# Usage: tuning_dialogs.sh PELMORA GUI_HELPER [SCREENSHOT]
set -euo pipefail
if [ -z "${PELMORA_ON_SESSION_BUS:-}" ]; then
    export PELMORA_ON_SESSION_BUS=1
    exec dbus-run-session -- bash "$0" "$@"
fi
PELMORA=$1
HELPER=$2
SHOT=${3:-${TMPDIR:-/tmp}/pelmora-dc-filter-dialog.png}
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/env.sh"
gui_setup
cp "$PELMORA" "$GUI_WORK/prog/pelmora"
"$HELPER" tone "$GUI_WORK/tone.raw" 30 1000
gui_play_tone "$GUI_WORK/tone.raw"
gui_start_app
first=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
gui_wait_accessibility
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/tuning_dialogs.py" "$first" "$SHOT" "$GUI_WORK" ||
    { echo "app log:" >&2; cat "$GUI_WORK/app.log" >&2; exit 1; }
gui_close_window
gui_wait_exit "$first" 20
echo "GUI tuning dialogs passed; DC graphs in $SHOT"
