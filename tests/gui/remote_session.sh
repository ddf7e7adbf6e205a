#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program driven from outside its window, on a private session bus (run under
# dbus-run-session) with a real sound server playing a 1 kHz tone: first through its D-Bus
# interface with gdbus, then through the command line, which starts a copy when none runs.
set -euo pipefail
PELMORA=$1
HELPER=$2
source "$(dirname "$0")/env.sh"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || gui_fail "no session bus: run under dbus-run-session"
HERE=$(cd "$(dirname "$0")" && pwd)
export PELMORA_ON_SESSION_BUS=1
gui_setup
PROG="$GUI_WORK/prog"
gui_copy_program "$PELMORA"
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"
"$HELPER" write-ini "$PROG/pelmora.ini" "$PROG/" wav
CLI="$PROG/pelmora"
DEST=(--session --dest org.pelmora.Pelmora --object-path /org/pelmora/Pelmora)

prop() {
    gdbus call "${DEST[@]}" --method org.freedesktop.DBus.Properties.Get org.pelmora.Pelmora "$1" |
        sed -e "s/^(<'\(.*\)'>,)$/\1/" -e 's/^(<\(.*\)>,)$/\1/'
}

# Waits until the State property reads the given value.
wait_state() {
    local want=$1 i got=""
    for i in $(seq 1 200); do
        got=$(prop State 2>/dev/null || true)
        [ "$got" = "$want" ] && return 0
        sleep 0.05
    done
    cat "$GUI_WORK/app.log" >&2
    gui_fail "State is '$got', expected '$want'"
}

# Waits until a file holds more than the given number of bytes.
wait_grows() {
    local file=$1 beyond=$2 i
    for i in $(seq 1 300); do
        [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" -gt "$beyond" ] && return 0
        sleep 0.05
    done
    gui_fail "$file did not grow beyond $beyond bytes"
}

# Waits until a pattern appears in a file.
wait_line() {
    local file=$1 pattern=$2 i
    for i in $(seq 1 200); do
        grep -q -- "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.05
    done
    cat "$file" >&2
    gui_fail "'$pattern' never appeared in $(basename "$file")"
}

check_wav() {
    local file=$1 line
    line=$("$HELPER" check-wav "$file") || gui_fail "cannot read $file"
    echo "$(basename "$file"): $line"
    case "$line" in
        riff_size_ok=1\ data_size_ok=1*) ;;
        *) gui_fail "WAV header sizes are wrong: $line" ;;
    esac
    awk -v l="$line" 'BEGIN {
        n = split(l, kv, " ");
        for (i = 1; i <= n; i++) { split(kv[i], p, "="); v[p[1]] = p[2] }
        if (v["seconds"] < 0.3) { print "duration " v["seconds"] " s"; exit 1 }
        if (v["hz"] < 950 || v["hz"] > 1050) { print "pitch " v["hz"] " Hz"; exit 1 }
    }' || gui_fail "$file does not hold the tone"
}

# Fails unless a command fails with the given exit status and D-Bus error name in its output.
expect_error() {
    local want=$1 name=$2 out status=0
    shift 2
    out=$("$@" 2>&1) || status=$?
    [ "$status" -eq "$want" ] || gui_fail "'$*' exited $status, expected $want: $out"
    [ -z "$name" ] || case "$out" in *"$name"*) ;; *) gui_fail "'$*' did not say $name: $out" ;; esac
}

# --- the interface, through gdbus ---
gui_start_app
first=$GUI_APP_PID
gui_wait_window
gdbus wait --session --timeout 20 org.pelmora.Pelmora || gui_fail "the program did not take its bus name"
wait_state READY
# The sound server wakes its idle null-sink monitor only a while after the first client connects.
gui_wait_meters
intro=$(gdbus introspect "${DEST[@]}")
for member in "Record();" "Stop();" "Pause();" "Toggle();" "StateChanged(s state);" \
              "readonly s State = 'READY';" "readonly s OutputPath" "readonly d WriteTime"; do
    grep -qF "$member" <<<"$intro" || gui_fail "the interface has no '$member': $intro"
done
gdbus monitor "${DEST[@]}" >"$GUI_WORK/monitor.log" 2>&1 &
GUI_PIDS+=("$!")
wait_line "$GUI_WORK/monitor.log" "Monitoring signals"

# A call that cannot act says why and changes nothing.
expect_error 1 org.pelmora.Pelmora.Error.NotRecording gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Stop
expect_error 1 org.pelmora.Pelmora.Error.NotRecording gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Pause
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Record >/dev/null
[ "$(prop State)" = RECORDING ] || gui_fail "Record returned before the recording started"
gui_wait_banner "$GUI_RECORDING" 10
out=$(prop OutputPath)
[ "$out" = "$PROG/out.wav" ] || gui_fail "OutputPath is '$out'"
wait_grows "$out" 100000
expect_error 1 org.pelmora.Pelmora.Error.AlreadyRecording gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Record
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Pause >/dev/null
[ "$(prop State)" = PAUSED ] || gui_fail "Pause did not pause"
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Pause >/dev/null
[ "$(prop State)" = RECORDING ] || gui_fail "a second Pause did not continue"
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Stop >/dev/null
[ "$(prop State)" = READY ] || gui_fail "Stop returned before the recording ended"
gui_wait_banner "$GUI_READY" 10
awk -v t="$(prop WriteTime)" 'BEGIN { exit !(t > 0.5) }' || gui_fail "WriteTime after the stop is $(prop WriteTime)"
check_wav "$out"
wait_line "$GUI_WORK/monitor.log" "StateChanged ('READY',)"
signals=$(grep -o "StateChanged ('[A-Z]*',)" "$GUI_WORK/monitor.log" | tr '\n' ' ')
[ "$signals" = "StateChanged ('RECORDING',) StateChanged ('PAUSED',) StateChanged ('RECORDING',) StateChanged ('READY',) " ] ||
    gui_fail "state signals: $signals"

# Toggle twice is Record then Stop.
rm -f "$out"
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Toggle >/dev/null
[ "$(prop State)" = RECORDING ] || gui_fail "Toggle did not record"
wait_grows "$out" 100000
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Toggle >/dev/null
[ "$(prop State)" = READY ] || gui_fail "a second Toggle did not stop"
check_wav "$out"

# A Record over an existing file asks its question in the window, as the button does: No
# refuses the call with the question as the reason, Yes records.
gui_wait_accessibility
before=$(stat -c %Y.%s "$out")
( rc=0; gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Record >"$GUI_WORK/q.out" 2>&1 || rc=$?; echo "$rc" >>"$GUI_WORK/q.out" ) &
asker=$!
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/remote_question.py" No || gui_fail "the question was not answered"
wait "$asker"
grep -q "org.pelmora.Pelmora.Error.Failed: File already exists." "$GUI_WORK/q.out" || gui_fail "declined Record: $(cat "$GUI_WORK/q.out")"
[ "$(prop State)" = READY ] || gui_fail "a declined Record changed the state"
[ "$(stat -c %Y.%s "$out")" = "$before" ] || gui_fail "a declined Record touched the file"
( rc=0; gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Record >"$GUI_WORK/q.out" 2>&1 || rc=$?; echo "$rc" >>"$GUI_WORK/q.out" ) &
asker=$!
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/remote_question.py" Yes || gui_fail "the question was not answered"
wait "$asker"
[ "$(tail -1 "$GUI_WORK/q.out")" = 0 ] || gui_fail "accepted Record: $(cat "$GUI_WORK/q.out")"
[ "$(prop State)" = RECORDING ] || gui_fail "an accepted Record did not record"
gdbus call "${DEST[@]}" --method org.pelmora.Pelmora.Stop >/dev/null
# The same question asked by the button: commands wait until it is answered.
gui_click_record
PYTHONPATH="$HERE" /usr/bin/python3 "$HERE/remote_question.py" No || gui_fail "the button's question was not answered"
wait_state READY
gui_close_window
gui_wait_exit "$first" 20
[ -s "$GUI_WORK/app.log" ] && { cat "$GUI_WORK/app.log" >&2; gui_fail "the program printed on its terminal"; }

echo "D-Bus interface passed"

# --- the command line ---
# A bad option starts nothing, not even a client.
expect_error 2 "Usage: pelmora" "$CLI" --recrod
expect_error 2 "Usage: pelmora" "$CLI" --record --stop
"$CLI" --help | grep -q -- "--toggle" || gui_fail "--help does not name --toggle"
"$CLI" --version | grep -q "^pelmora [0-9]" || gui_fail "--version"
# With no copy running: the status says so, Stop and Pause have nothing to act on, and
# none of them starts one.
[ "$("$CLI" --status)" = "$(printf 'NOT RUNNING\t\t00:00:00')" ] || gui_fail "--status without a copy: $("$CLI" --status)"
expect_error 1 "not running" "$CLI" --stop
expect_error 1 "not running" "$CLI" --pause
gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.pelmora.Pelmora | grep -q false || gui_fail "a copy was started"

# --record with none running starts one, which records.
rm -f "$out"
"$CLI" --record || gui_fail "--record exited $?"
[ "$(prop State)" = RECORDING ] || gui_fail "--record returned before the recording started"
gui_wait_window
# The copy the client started is this test's to end.
GUI_APP_PIDS+=("$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID org.pelmora.Pelmora | tr -dc 0-9)")
wait_grows "$out" 100000
status=$("$CLI" --status)
IFS=$'\t' read -r st path tm <<<"$status"
[ "$st" = RECORDING ] && [ "$path" = "$out" ] && [[ "$tm" =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] ||
    gui_fail "--status while recording: '$status'"
"$CLI" --pause || gui_fail "--pause exited $?"
[ "$("$CLI" --status | cut -f1)" = PAUSED ] || gui_fail "--pause did not pause"
"$CLI" --pause
[ "$("$CLI" --status | cut -f1)" = RECORDING ] || gui_fail "a second --pause did not continue"
expect_error 1 "already in progress" "$CLI" --record
"$CLI" --stop || gui_fail "--stop exited $?"
[ "$("$CLI" --status | cut -f1)" = READY ] || gui_fail "--stop did not stop"
check_wav "$out"
expect_error 1 "No recording" "$CLI" --stop
# A second start without options leaves the one copy alone.
gui_start_app
gui_wait_exit "$GUI_APP_PID" 5
[ "$("$CLI" --status | cut -f1)" = READY ] || gui_fail "the copy changed on a second start"

# --toggle twice equals Record then Stop.
rm -f "$out"
"$CLI" --toggle
[ "$("$CLI" --status | cut -f1)" = RECORDING ] || gui_fail "--toggle did not record"
wait_grows "$out" 100000
"$CLI" --toggle
[ "$("$CLI" --status | cut -f1)" = READY ] || gui_fail "a second --toggle did not stop"
check_wav "$out"
gui_close_window
for i in $(seq 1 400); do
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.pelmora.Pelmora | grep -q false && break
    sleep 0.05
done
[ "$("$CLI" --status | cut -f1)" = "NOT RUNNING" ] || gui_fail "the copy did not end"
echo "command line passed"
