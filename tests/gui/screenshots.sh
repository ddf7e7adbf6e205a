#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the main window under Xvfb, idle and recording, with a tone playing:
#   tests/gui/screenshots.sh PELMORA GUI_HELPER OUTPUT_FOLDER
# Writes idle.png, recording-1.png and recording-2.png (one second apart: the banner blinks).
set -euo pipefail
PELMORA=$1
HELPER=$2
OUT=$3
mkdir -p "$OUT"
source "$(dirname "$0")/env.sh"
gui_setup
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"

gui_start_app
first=$GUI_APP_PID
gui_wait_window
gui_wait_banner "$GUI_READY"
sleep 3
import -window root "$OUT/idle.png"
gui_click_record
gui_wait_banner "$GUI_RECORDING"
sleep 1.5
import -window root "$OUT/recording-1.png"
sleep 1
import -window root "$OUT/recording-2.png"
gui_click_record
gui_wait_banner "$GUI_READY" 20
gui_close_window
gui_wait_exit "$first" 20
echo "screenshots in $OUT"
