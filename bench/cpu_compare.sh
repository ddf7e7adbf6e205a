#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-program CPU against command-line capture of the same source, measured side by side.
#
#   bench/cpu_compare.sh PELMORA GUI_HELPER [ROUNDS] [SECONDS] [PLUGIN_PELMORA]
#
# Starts a private X server and PulseAudio (as the GUI tests do), plays a 1 kHz tone into a
# null sink and, alternating ROUNDS times (default 5), measures for SECONDS each (default 10):
#   arecord        `arecord -f cd` to a WAV file
#   idle           the program's window with live meters, not recording
#   wav            the program recording WAV
#   arecord|lame   `arecord -f cd | lame` with the program's own lame arguments
#   mp3            the program recording MP3, its lame child included
#   wav_plugin     PLUGIN_PELMORA (when given: a build that records through ALSA's pulse
#                  plugin, from before the sound-server backend) recording WAV
# Every figure is steady state: the window starts after the command or the recording runs.
# Prints CPU seconds per minute (median and range), the ratios of the medians, the per-thread
# split (from /proc/PID/task/*/schedstat), the main thread's CPU for a Record and a Stop click,
# the time from exec to a mapped window, and whatever the program printed on stderr.
set -euo pipefail
PELMORA=$(readlink -f "$1")
HELPER=$(readlink -f "$2")
ROUNDS=${3:-5}
SECS=${4:-10}
PLUGIN=""
[ -z "${5:-}" ] || PLUGIN=$(readlink -f "$5")
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../tests/gui/env.sh"
for tool in arecord lame xdotool Xvfb pulseaudio pacat import; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
gui_setup
PROG="$GUI_WORK/prog"
cp "$PELMORA" "$PROG/pelmora"
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"
DATA="$GUI_WORK/bench.data"
: >"$DATA"

# Nanoseconds on the CPU of every live thread of the given processes, summed.
cpu_ns() {
    local pid f sum=0 v
    for pid in "$@"; do
        for f in /proc/"$pid"/task/*/schedstat; do
            read -r v _ <"$f" 2>/dev/null || continue
            sum=$((sum + v))
        done
    done
    echo "$sum"
}

# "name ns" for every live thread of the given processes.
thread_ns() {
    local pid t v name
    for pid in "$@"; do
        for t in /proc/"$pid"/task/*; do
            read -r v _ <"$t/schedstat" 2>/dev/null || continue
            name=$(tr ' ' '_' <"$t/comm" 2>/dev/null) || continue
            [ "$t" = "/proc/$pid/task/$pid" ] && name="main($name)"
            echo "$name $v"
        done
    done
}

main_ns() { read -r v _ <"/proc/$1/task/$1/schedstat"; echo "$v"; }

# Measures the given processes for SECS seconds; appends "cpu MODE ns_per_s" and the threads.
measure() {
    local mode=$1; shift
    local before after t0 t1
    thread_ns "$@" >"$GUI_WORK/threads.before"
    before=$(cpu_ns "$@"); t0=$(date +%s%N)
    sleep "$SECS"
    after=$(cpu_ns "$@"); t1=$(date +%s%N)
    thread_ns "$@" >"$GUI_WORK/threads.after"
    echo "cpu $mode $(( (after - before) * 1000000000 / (t1 - t0) ))" >>"$DATA"
    awk -v mode="$mode" -v dt=$((t1 - t0)) '
        NR == FNR { b[$1] += $2; next } { a[$1] += $2 }
        END { for (n in a) printf "thread %s %s %d\n", mode, n, (a[n] - b[n]) * 1e9 / dt }' \
        "$GUI_WORK/threads.before" "$GUI_WORK/threads.after" >>"$DATA"
}

# Main-thread CPU from a click until the banner changed plus half a second, less the main
# thread's steady rate over that time.
click_cost() {
    local label=$1 want=$2 rate=$3 b a t0 t1
    b=$(main_ns "$APP"); t0=$(date +%s%N)
    gui_click_record
    gui_wait_banner "$want" 20
    sleep 0.5
    a=$(main_ns "$APP"); t1=$(date +%s%N)
    echo "click $label $(( (a - b) - rate * (t1 - t0) / 1000000000 ))" >>"$DATA"
}

start_app() {
    local t0 t1
    t0=$(date +%s%N)
    gui_start_app
    APP=$GUI_APP_PID
    gui_wait_window
    t1=$(date +%s%N)
    echo "startup - $(( t1 - t0 ))" >>"$DATA"
    gui_wait_banner "$GUI_READY"
    sleep "$SETTLE"
}

stop_app() {
    gui_close_window
    gui_wait_exit "$APP" 20
}

# 44.1 kHz, 16 bits, stereo in the format list of a device that takes every candidate format
# (8 to 48 kHz, 8 and 16 bits, mono and stereo), as PulseAudio's does.
CD_FORMAT=31
# A new capture stream from the null sink's monitor delivers less than real time for its
# first second or two: every contender runs this long before it is measured.
SETTLE=3
LAME_ARGS=()
for round in $(seq 1 "$ROUNDS"); do
    echo "round $round of $ROUNDS" >&2
    rm -f "$PROG"/*.wav "$PROG"/*.mp3 "$GUI_WORK"/out.*

    # The program recording MP3 (default settings).
    "$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" mp3 "$CD_FORMAT"
    start_app
    gui_click_record
    gui_wait_banner "$GUI_RECORDING" 10
    sleep 1
    LAME=$(pgrep -P "$APP" -x lame | head -1) || gui_fail "no lame child"
    if [ ${#LAME_ARGS[@]} -eq 0 ]; then
        mapfile -d '' LAME_ARGS <"/proc/$LAME/cmdline"
        # Drop the program name and the output path; "-" (standard input) stays.
        LAME_ARGS=("${LAME_ARGS[@]:1:${#LAME_ARGS[@]}-2}")
        case " ${LAME_ARGS[*]} " in
            *" -s 44.1 --bitwidth 16 "*) ;;
            *) gui_fail "the program does not record 44.1 kHz 16 bits: lame ${LAME_ARGS[*]}" ;;
        esac
    fi
    measure mp3 "$APP" "$LAME"
    gui_click_record
    gui_wait_banner "$GUI_READY" 20
    stop_app

    # arecord | lame with the same encoder arguments.
    arecord -q -f cd -t raw 2>/dev/null | lame "${LAME_ARGS[@]}" "$GUI_WORK/out.mp3" 2>/dev/null &
    LM=$!
    sleep "$SETTLE"
    AR=$(pgrep -P $$ -x arecord | head -1)
    [ -n "$AR" ] && kill -0 "$LM" || gui_fail "arecord | lame did not start"
    measure arecord_lame "$AR" "$LM"
    kill "$AR" 2>/dev/null; wait "$LM" 2>/dev/null || true

    # arecord to a WAV file.
    arecord -q -f cd "$GUI_WORK/out.wav" 2>/dev/null &
    AR=$!
    sleep "$SETTLE"
    measure arecord "$AR"
    kill "$AR"; wait "$AR" 2>/dev/null || true

    # The program idle, then recording WAV.
    "$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" wav "$CD_FORMAT"
    start_app
    measure idle "$APP"
    idle_main=$(awk -v m=idle '$1 == "thread" && $2 == m && $3 ~ /^main/ { v = $4 } END { print v + 0 }' "$DATA")
    click_cost record "$GUI_RECORDING" "$idle_main"
    sleep 0.5
    measure wav "$APP"
    wav_main=$(awk -v m=wav '$1 == "thread" && $2 == m && $3 ~ /^main/ { v = $4 } END { print v + 0 }' "$DATA")
    click_cost stop "$GUI_READY" "$wav_main"
    stop_app

    # The older build recording WAV through ALSA's pulse plugin, in the same folder.
    if [ -n "$PLUGIN" ]; then
        cp "$PLUGIN" "$PROG/pelmora"
        rm -f "$PROG"/*.wav  # no question about replacing the last one
        "$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" wav "$CD_FORMAT"
        start_app
        gui_click_record
        gui_wait_banner "$GUI_RECORDING" 10
        sleep 0.5
        measure wav_plugin "$APP"
        gui_click_record
        gui_wait_banner "$GUI_READY" 20
        stop_app
        cp "$PELMORA" "$PROG/pelmora"
    fi
done

echo
echo "Load: $(uptime)"
echo "$ROUNDS rounds of $SECS s each; CPU seconds per minute (median [min..max]):"
awk -v rounds="$ROUNDS" '
    function median(arr, n,   i, j, t) {
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (arr[j] < arr[i]) { t = arr[i]; arr[i] = arr[j]; arr[j] = t }
        return n % 2 ? arr[(n + 1) / 2] : (arr[n / 2] + arr[n / 2 + 1]) / 2
    }
    $1 == "cpu" { n[$2]++; v[$2, n[$2]] = $3 * 60 / 1e9 }
    $1 == "thread" { key = $2 SUBSEP $3; tn[key]++; tv[key, tn[key]] = $4 / 1e6; modes[$2] = 1; names[key] = $3 }
    $1 == "click" { cn[$2]++; cv[$2, cn[$2]] = $3 / 1e6 }
    $1 == "startup" { sn++; sv[sn] = $3 / 1e9 }
    END {
        split("arecord idle wav arecord_lame mp3 wav_plugin", order, " ")
        for (k = 1; k <= 6; k++) {
            m = order[k]; if (!n[m]) continue
            delete a; lo = 1e18; hi = -1
            for (i = 1; i <= n[m]; i++) { a[i] = v[m, i]; if (a[i] < lo) lo = a[i]; if (a[i] > hi) hi = a[i] }
            med[m] = median(a, n[m])
            printf "  %-13s %7.3f  [%.3f .. %.3f]\n", m, med[m], lo, hi
        }
        print "Ratios of the medians:"
        if (med["arecord"] > 0) {
            printf "  idle / arecord         %5.2f  (target <= 2.5)\n", med["idle"] / med["arecord"]
            printf "  wav / arecord          %5.2f  (target <= 3)\n", med["wav"] / med["arecord"]
        }
        if (med["arecord_lame"] > 0)
            printf "  mp3 / arecord|lame     %5.2f  (target <= 1.2)\n", med["mp3"] / med["arecord_lame"]
        if (med["wav_plugin"] > 0)
            printf "  wav / wav_plugin       %5.2f  (target <= 1)\n", med["wav"] / med["wav_plugin"]
        print "Main-thread CPU of a click, ms (median [min..max]; target <= 20):"
        for (c in cn) {
            delete a; lo = 1e18; hi = -1e18
            for (i = 1; i <= cn[c]; i++) { a[i] = cv[c, i]; if (a[i] < lo) lo = a[i]; if (a[i] > hi) hi = a[i] }
            printf "  %-7s %6.1f  [%.1f .. %.1f]\n", c, median(a, cn[c]), lo, hi
        }
        delete a; lo = 1e18; hi = -1
        for (i = 1; i <= sn; i++) { a[i] = sv[i]; if (a[i] < lo) lo = a[i]; if (a[i] > hi) hi = a[i] }
        if (sn) printf "Exec to mapped window, s: %.3f [%.3f .. %.3f] (target < 0.5)\n", median(a, sn), lo, hi
        print "Per thread, ms of CPU per second (median over rounds):"
        for (k = 1; k <= 6; k++) {
            m = order[k]
            for (key in names) {
                split(key, p, SUBSEP); if (p[1] != m) continue
                delete a
                for (i = 1; i <= tn[key]; i++) a[i] = tv[key, i]
                printf "  %-13s %-28s %7.3f\n", m, names[key], median(a, tn[key])
            }
        }
    }' "$DATA"
echo "lame arguments: ${LAME_ARGS[*]}"
echo "Program stderr/stdout ($(wc -l <"$GUI_WORK/app.log") lines):"
sort "$GUI_WORK/app.log" | uniq -c | sort -rn | head -5
