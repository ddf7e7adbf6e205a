# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the GUI tests: a private X server (of GUI_SCREEN, 1024x768x24 unless set), a
# private PulseAudio with a null sink whose monitor is the default ALSA capture device, a
# temporary HOME and program folder.
# Everything started here is stopped by gui_cleanup (installed as an EXIT trap).

gui_fail() { echo "FAIL: $*" >&2; exit 1; }

gui_setup() {
    GUI_WORK=$(mktemp -d /tmp/pelmora-gui-XXXXXX)
    GUI_PIDS=()
    trap gui_cleanup EXIT
    export HOME="$GUI_WORK/home"
    export XDG_RUNTIME_DIR="$GUI_WORK/run"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    export PULSE_STATE_PATH="$GUI_WORK/pulse-state"
    unset PULSE_SERVER
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$GUI_WORK/prog"
    chmod 700 "$XDG_RUNTIME_DIR"
    cat > "$HOME/.asoundrc" <<'ASOUND'
pcm.!default { type pulse }
ctl.!default { type pulse }
ASOUND
    gui_start_x
    gui_start_pulse
    # Our own session bus (dbus-run-session) starts the accessibility bus with the bus's own
    # environment: give it this test's folders, or it puts its socket in the real home,
    # where every test's bus replaces the one before.
    if [ -n "${PELMORA_ON_SESSION_BUS:-}" ]; then
        dbus-update-activation-environment HOME XDG_RUNTIME_DIR DISPLAY ||
            gui_fail "cannot hand the test's environment to its session bus"
    fi
}

gui_start_x() {
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "${GUI_SCREEN:-1024x768x24}" -nolisten tcp >"$GUI_WORK/xvfb.log" 2>&1 &
        local pid=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 1 100); do
            if xdpyinfo >/dev/null 2>&1; then
                # Ours only if its lock names our server: another test may have won this number.
                if [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
                    GUI_PIDS+=("$pid")
                    return 0
                fi
                break
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$pid" 2>/dev/null
    done
    gui_fail "no X server could be started"
}

gui_start_pulse() {
    cat > "$GUI_WORK/pulse.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=tone rate=44100 channels=2
set-default-sink tone
set-default-source tone.monitor
PA
    pulseaudio -n -F "$GUI_WORK/pulse.pa" --daemonize=no --exit-idle-time=-1 --disallow-exit=yes \
        --use-pid-file=no --log-target=stderr >"$GUI_WORK/pulse.log" 2>&1 &
    GUI_PIDS+=("$!")
    local i
    for i in $(seq 1 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    cat "$GUI_WORK/pulse.log" >&2
    gui_fail "PulseAudio did not start"
}

# Plays a raw s16le 44.1 kHz stereo file into the null sink, over and over.
gui_play_tone() {
    local file=$1
    ( while pacat --playback --raw --format=s16le --rate=44100 --channels=2 -d tone "$file"; do :; done ) \
        >/dev/null 2>&1 &
    GUI_PIDS+=("$!")
}

gui_cleanup() {
    local status=$? pid
    set +e
    for pid in "${GUI_APP_PIDS[@]:-}"; do [ -n "$pid" ] && kill "$pid" 2>/dev/null; done
    for ((i=${#GUI_PIDS[@]}-1; i>=0; i--)); do
        pid=${GUI_PIDS[$i]}
        pkill -P "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -n "${GUI_KEEP:-}" ] || rm -rf "$GUI_WORK"
    exit "$status"
}

# Copies the program, with the icons the build keeps beside it, into the temporary program
# folder, as a portable copy is laid out.
gui_copy_program() {
    local program=$1
    cp "$program" "$GUI_WORK/prog/pelmora"
    if [ -d "$(dirname "$program")/share" ]; then cp -r "$(dirname "$program")/share" "$GUI_WORK/prog/"; fi
}

# Starts a copy of the program from the temporary program folder.
gui_start_app() {
    "$GUI_WORK/prog/pelmora" >>"$GUI_WORK/app.log" 2>&1 &
    GUI_APP_PID=$!
    GUI_APP_PIDS+=("$GUI_APP_PID")
}

# Waits until a window named Pelmora is mapped; sets GUI_WID.
gui_wait_window() {
    local i
    for i in $(seq 1 200); do
        GUI_WID=$(xdotool search --onlyvisible --name '^Pelmora$' 2>/dev/null | head -1 || true)
        [ -n "$GUI_WID" ] && return 0
        sleep 0.05
    done
    cat "$GUI_WORK/app.log" >&2
    gui_fail "no Pelmora window appeared"
}

# Clicks the middle of a rectangle given in the main window's dialog units.
gui_click_du() {
    local x=$1 y=$2 w=$3 h=$4
    eval "$(xdotool getwindowgeometry --shell "$GUI_WID")"
    local px=$(( (x * 2 + w) * WIDTH / 800 ))
    local py=$(( (y * 2 + h) * HEIGHT / 626 ))
    xdotool mousemove --window "$GUI_WID" "$px" "$py" click 1
}

# Waits for the program to end; fails after the given number of seconds.
gui_wait_exit() {
    local pid=$1 limit=${2:-20} i
    for i in $(seq 1 $((limit * 20))); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
        sleep 0.05
    done
    gui_fail "the program did not end"
}

# Colour "R,G,B" of one pixel of the window, at a point given in dialog units.
gui_pixel_du() {
    local x=$1 y=$2
    eval "$(xdotool getwindowgeometry --shell "$GUI_WID")"
    local px=$(( x * WIDTH / 400 )) py=$(( y * HEIGHT / 313 ))
    import -window "$GUI_WID" -crop "1x1+$px+$py" -depth 8 txt:- 2>/dev/null |
        sed -n 's/^0,0: *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}

# Waits until the status banner shows the colour of a state: READY 56,105,70,
# RECORDING 172,48,89, INITIALIZATION FAILED 0,0,0.
gui_wait_banner() {
    local want=$1 limit=${2:-15} i got=""
    for i in $(seq 1 $((limit * 10))); do
        got=$(gui_pixel_du 284 3)
        [ "$got" = "$want" ] && return 0
        sleep 0.1
    done
    echo "app log:" >&2; cat "$GUI_WORK/app.log" >&2
    gui_fail "status banner is '$got', expected '$want'"
}

# Waits until the input meter shows sound: a dark meter has a mean brightness near 0, one
# lit by the test tone about a third. The sound server wakes its idle null sink's monitor
# only a while after the first client connects; until then the meter stays dark.
gui_wait_meters() {
    local limit=${1:-15} i mean=""
    for i in $(seq 1 $((limit * 10))); do
        WIDTH="" HEIGHT=""
        eval "$(xdotool getwindowgeometry --shell "$GUI_WID" 2>/dev/null || true)"
        [ -n "$WIDTH" ] && mean=$(import -window "$GUI_WID" \
                   -crop "$((144 * WIDTH / 400))x$((19 * HEIGHT / 313))+$((21 * WIDTH / 400))+$((272 * HEIGHT / 313))" \
                   -colorspace gray -format '%[fx:mean]' info: 2>/dev/null || true)
        awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.1) }' && return 0
        sleep 0.1
    done
    echo "app log:" >&2; cat "$GUI_WORK/app.log" >&2
    gui_fail "the input meter shows no sound (mean brightness '$mean')"
}

# Waits until the accessibility bus that the program's toolkit asked for answers, with its
# registry: a client that connects while it is still being started gives up at once.
gui_wait_accessibility() {
    local limit=${1:-30} i address=""
    for i in $(seq 1 $((limit * 10))); do
        address=$(dbus-send --session --print-reply=literal --reply-timeout=2000 --dest=org.a11y.Bus \
                      /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ' || true)
        if [ -n "$address" ] &&
           dbus-send --bus="$address" --print-reply --reply-timeout=2000 --dest=org.a11y.atspi.Registry \
               /org/a11y/atspi/accessible/root org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    gui_fail "the accessibility bus did not answer (address '$address')"
}

GUI_READY=56,105,70
GUI_RECORDING=172,48,89

# The main window's Record/Stop button, in dialog units.
gui_click_record() { gui_click_du 282 195 51 27; }

# Alt+F4 with the pointer over the window (keys go where the pointer is without a window
# manager; GTK ignores synthetic key events sent to a window).
gui_close_window() {
    eval "$(xdotool getwindowgeometry --shell "$GUI_WID")"
    xdotool mousemove --window "$GUI_WID" $((WIDTH / 2)) $((HEIGHT * 240 / 313))
    xdotool key alt+F4
}
