#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the program into a temporary prefix (DESTDIR), checks every installed file,
# validates the menu entry and the AppStream data, then runs the installed program from its
# read-only folder as a user would: the settings must land in ~/.config/pelmora/ and the
# recording in the music folder that xdg-user-dir names.
#   tests/gui/installed_session.sh BUILD_FOLDER GUI_HELPER
set -euo pipefail
BUILD=$1
HELPER=$2
source "$(dirname "$0")/env.sh"
APP_ID=org.pelmora.Pelmora

for tool in desktop-file-validate appstreamcli xdg-user-dir identify xprop; do
    command -v "$tool" >/dev/null || gui_fail "$tool is missing (scripts/install-deps.sh installs it)"
done
gui_setup
DEST="$GUI_WORK/dest"
DESTDIR="$DEST" cmake --install "$BUILD" --prefix /usr >"$GUI_WORK/install.log" 2>&1 ||
    { cat "$GUI_WORK/install.log" >&2; gui_fail "cmake --install failed"; }

# --- every installed file, and nothing else ---
expected="usr/bin/pelmora
usr/share/applications/$APP_ID.desktop
usr/share/doc/pelmora/changelog.gz
usr/share/doc/pelmora/copyright
usr/share/icons/hicolor/48x48/apps/$APP_ID.png
usr/share/icons/hicolor/scalable/apps/$APP_ID.svg
usr/share/lintian/overrides/pelmora
usr/share/man/man1/pelmora.1.gz
usr/share/metainfo/$APP_ID.metainfo.xml
usr/share/pelmora/icons/folder.svg
usr/share/pelmora/icons/padlock-closed.svg
usr/share/pelmora/icons/padlock-open.svg
usr/share/pelmora/icons/pelmora.svg"
installed=$(cd "$DEST" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$installed" = "$expected" ] || gui_fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed") || true)"

[ -x "$DEST/usr/bin/pelmora" ] || gui_fail "the program is not executable"
desktop="$DEST/usr/share/applications/$APP_ID.desktop"
desktop-file-validate "$desktop" || gui_fail "desktop-file-validate rejects $APP_ID.desktop"
for line in "Name=Pelmora" "GenericName=Sound Recorder" "Categories=AudioVideo;Audio;Recorder;" \
            "Icon=$APP_ID" "Exec=pelmora" "Type=Application"; do
    grep -qxF "$line" "$desktop" || gui_fail "$APP_ID.desktop lacks '$line'"
done
metainfo="$DEST/usr/share/metainfo/$APP_ID.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || gui_fail "appstreamcli rejects the metainfo file"
grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
    gui_fail "the metainfo file does not name the desktop entry"
size=$(identify -format '%wx%h' "$DEST/usr/share/icons/hicolor/48x48/apps/$APP_ID.png")
[ "$size" = 48x48 ] || gui_fail "the PNG icon is $size"
for svg in "$DEST/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" "$DEST"/usr/share/pelmora/icons/*.svg; do
    grep -q '<svg' "$svg" || gui_fail "$svg is no SVG image"
done
gzip -t "$DEST/usr/share/man/man1/pelmora.1.gz" || gui_fail "the man page is not gzip"
zcat "$DEST/usr/share/man/man1/pelmora.1.gz" | grep -q '^\.TH PELMORA 1 ' || gui_fail "the man page has no title"

# --- the installed program, from a folder no one may write ---
mkdir -p "$HOME/.config"
echo 'XDG_MUSIC_DIR="$HOME/My Music"' >"$HOME/.config/user-dirs.dirs"
MUSIC="$HOME/My Music"
chmod -R a-w "$DEST/usr"
trap 'st=$?; chmod -R u+w "$DEST" 2>/dev/null; (exit $st); gui_cleanup' EXIT
"$HELPER" tone "$GUI_WORK/tone.raw" 20 1000
gui_play_tone "$GUI_WORK/tone.raw"

"$DEST/usr/bin/pelmora" >>"$GUI_WORK/app.log" 2>&1 &
GUI_APP_PID=$!
GUI_APP_PIDS+=("$GUI_APP_PID")
gui_wait_window
gui_wait_banner "$GUI_READY"
# The window icon comes from the installed SVG file.
# (Read whole: grep -q would end the pipe early, and pipefail would count xprop's SIGPIPE.)
icons=$(xprop -id "$GUI_WID" _NET_WM_ICON | grep -c 'Icon (48 x 48)' || true)
[ "$icons" -ge 1 ] || gui_fail "the window has no 48-pixel icon"
# See record_session.sh: the idle null sink's monitor needs a moment before it delivers.
gui_wait_meters
gui_click_record
gui_wait_banner "$GUI_RECORDING" 10
sleep 2
gui_click_record
gui_wait_banner "$GUI_READY" 20
gui_close_window
gui_wait_exit "$GUI_APP_PID" 20

INI="$HOME/.config/pelmora/pelmora.ini"
[ -f "$INI" ] || gui_fail "no $INI"
size=$(stat -c %s "$INI")
[ "$size" -eq 1617 ] || gui_fail "pelmora.ini has $size bytes"
version=$("$HELPER" ini-version "$INI") || gui_fail "pelmora.ini is not valid"
[ "$version" -eq 130 ] || gui_fail "settingsVersion $version"
mp3=$(ls "$MUSIC"/*.mp3 2>/dev/null | head -1)
[ -n "$mp3" ] || { cat "$GUI_WORK/app.log" >&2; gui_fail "no MP3 file in the music folder"; }
lame --quiet --decode "$mp3" "$GUI_WORK/decoded.wav" || gui_fail "lame cannot decode $mp3"
line=$("$HELPER" check-wav "$GUI_WORK/decoded.wav") || gui_fail "cannot read the decoded recording"
echo "$(basename "$mp3"): $line"
awk -v l="$line" 'BEGIN {
    n = split(l, kv, " ");
    for (i = 1; i <= n; i++) { split(kv[i], p, "="); v[p[1]] = p[2] }
    if (v["seconds"] < 1.5 || v["seconds"] > 3.5 || v["hz"] < 950 || v["hz"] > 1050 || v["rms"] < 0.2) exit 1
}' || gui_fail "$mp3 does not hold about 2 s of the tone"
now=$(cd "$DEST" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$now" = "$expected" ] || gui_fail "the program wrote into its installed folders"
echo "installed program passed"
