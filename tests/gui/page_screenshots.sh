#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of every settings page under Xvfb, idle and during a recording:
#   dbus-run-session -- tests/gui/page_screenshots.sh PELMORA GUI_HELPER OUTPUT_FOLDER
# Writes <page>-idle.png and <page>-recording.png for the seven tabs.
set -euo pipefail
PELMORA=$1
HELPER=$2
OUT=$(realpath -m "$3")
HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$OUT"
source "$HERE/env.sh"
gui_setup
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"
gui_start_app
first=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
PYTHONPATH="$HERE" /usr/bin/python3 - "$OUT" "$GUI_WID" <<'PY'
import subprocess, sys, time
import atspi
out, wid = sys.argv[1], sys.argv[2]
w = atspi.Window()
tabs = ["General", "Advanced", "XBR", "Expert", "Audio Processing", "Performance", "Operations"]

def shoot(state):
    for t in tabs:
        w.show(t)
        time.sleep(0.5)
        name = t.lower().replace(" ", "-")
        subprocess.run(["import", "-window", wid, f"{out}/{name}-{state}.png"], check=True)

shoot("idle")
atspi.press(w.button("Record"))
atspi.wait_for(lambda: atspi.find_all(w.frame, "push button", "Stop"), 10, "recording")
shoot("recording")
atspi.press(w.button("Stop"))
atspi.wait_for(lambda: atspi.find_all(w.frame, "push button", "Record"), 20, "stop")
w.show("General")
PY
gui_close_window
gui_wait_exit "$first" 20
echo "screenshots in $OUT"
