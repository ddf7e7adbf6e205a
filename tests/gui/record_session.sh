#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the program as a user would: starts it from a fresh program folder with a real
# sound server playing a 1 kHz tone, records about two seconds, stops and closes the window.
# Once with the default settings (MP3 through lame), once with a pelmora.ini for WAV output.
# Neither copy may print anything on its terminal (toolkit warnings, library messages), nor
# load the OpenGL stack.
set -euo pipefail
PELMORA=$1
HELPER=$2
source "$(dirname "$0")/env.sh"
gui_setup
# As on a PipeWire desktop without PipeWire's JACK library: its socket is there, but no JACK
# client gets an answer (alsa-lib's jack plugin comes with libasound2-plugins).
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$XDG_RUNTIME_DIR/pipewire-0"
PROG="$GUI_WORK/prog"
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"

# One session: start, a second copy that must end by itself, Record, ~2 s, Stop, Alt+F4.
session() {
    gui_start_app
    local first=$GUI_APP_PID
    gui_wait_window
    gui_wait_banner "$GUI_READY"

    gui_start_app
    gui_wait_exit "$GUI_APP_PID" 5
    local windows
    windows=$( (xdotool search --onlyvisible --name '^Pelmora$' || true) | wc -l)
    [ "$windows" -eq 1 ] || gui_fail "$windows Pelmora windows after a second start"
    kill -0 "$first" 2>/dev/null || gui_fail "the first copy ended when the second started"
    # Nothing here draws with OpenGL: its libraries (and the compiler a software renderer
    # brings) would double the program's memory and start-up time.
    if grep -q "/libGLX\|/libLLVM" "/proc/$first/maps"; then
        gui_fail "the program loaded the OpenGL stack: $(grep -o '/[^ ]*lib\(GLX\|LLVM\)[^ ]*' "/proc/$first/maps" | sort -u | tr '\n' ' ')"
    fi
    # Look at the live meters before recording, as a user does: the sound server wakes its
    # idle null-sink monitor only a while after the first client connects.
    gui_wait_meters

    gui_click_record
    gui_wait_banner "$GUI_RECORDING" 10
    sleep 2
    gui_click_record
    gui_wait_banner "$GUI_READY" 20
    gui_close_window
    gui_wait_exit "$first" 20
    if [ -s "$GUI_WORK/app.log" ]; then
        echo "printed on the terminal:" >&2
        head -c 4000 "$GUI_WORK/app.log" >&2
        gui_fail "the program printed $(wc -l <"$GUI_WORK/app.log") lines on its terminal"
    fi
}

# Checks duration, pitch and level of a WAV file's sound: "seconds=S hz=F rms=R".
check_tone() {
    local file=$1 line
    line=$("$HELPER" check-wav "$file") || gui_fail "cannot read $file"
    echo "$(basename "$file"): $line"
    awk -v l="$line" 'BEGIN {
        n = split(l, kv, " ");
        for (i = 1; i <= n; i++) { split(kv[i], p, "="); v[p[1]] = p[2] }
        if (v["seconds"] < 1.5 || v["seconds"] > 3.5) { print "duration " v["seconds"] " s"; exit 1 }
        if (v["hz"] < 950 || v["hz"] > 1050) { print "pitch " v["hz"] " Hz"; exit 1 }
        if (v["rms"] < 0.2) { print "level " v["rms"]; exit 1 }
    }' || gui_fail "$file does not hold about 2 s of the tone"
}

check_ini() {
    local size version
    size=$(stat -c %s "$PROG/pelmora.ini")
    [ "$size" -eq 1617 ] || gui_fail "pelmora.ini has $size bytes"
    version=$("$HELPER" ini-version "$PROG/pelmora.ini") || gui_fail "pelmora.ini is not valid"
    [ "$version" -eq 130 ] || gui_fail "settingsVersion $version"
}

# --- first start: defaults, MP3 ---
session
check_ini
mp3=$(ls "$PROG"/*.mp3 2>/dev/null | head -1)
[ -n "$mp3" ] || gui_fail "no MP3 file was recorded"
lame --quiet --decode "$mp3" "$GUI_WORK/decoded.wav" || gui_fail "lame cannot decode $mp3"
check_tone "$GUI_WORK/decoded.wav"

# --- a pelmora.ini for WAV output ---
rm -f "$PROG"/*.mp3
"$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" wav
session
check_ini
wav=$(ls "$PROG"/*.wav 2>/dev/null | head -1)
[ -n "$wav" ] || gui_fail "no WAV file was recorded"
header=$("$HELPER" check-wav "$wav")
case "$header" in
    riff_size_ok=1\ data_size_ok=1*) ;;
    *) gui_fail "WAV header sizes are wrong: $header" ;;
esac
check_tone "$wav"
echo "GUI sessions passed"
