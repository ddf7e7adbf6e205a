#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a configured and built folder, installs it with apt-get as
# a user would, starts /usr/bin/pelmora under Xvfb and waits for its window, then removes
# the package and checks that none of its files is left. Needs root (or sudo); changes the
# system, so scripts/run-tests.sh runs it last and never while pelmora is installed.
#   tests/gui/deb_package.sh BUILD_FOLDER
set -euo pipefail
BUILD=$(cd "$1" && pwd)
source "$(dirname "$0")/env.sh"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
fail() { echo "FAIL: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' pelmora 2>/dev/null | grep -q "installed"; then
    fail "a pelmora package is installed already; remove it first (dpkg -r pelmora)"
fi

rm -f "$BUILD"/pelmora_*.deb
(cd "$BUILD" && cpack -G DEB >cpack.log 2>&1) || { cat "$BUILD/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$(ls "$BUILD"/pelmora_*_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libwxgtk3.2-1 libwxbase3.2-1 libasound2 libmd0; do
    case ", $depends" in *", $lib "*|*", $lib,"*|*", $lib") ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
case "$(dpkg-deb -f "$deb" Recommends)" in *lame*) ;; *) fail "lame is not recommended" ;; esac

export DEBIAN_FRONTEND=noninteractive
remove() { $SUDO dpkg -r pelmora >/dev/null; trap - EXIT; }
trap remove EXIT
$SUDO apt-get install -y -q "$deb" || fail "apt-get install $deb failed"
files=$(dpkg-query -L pelmora | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ -x /usr/bin/pelmora ] || fail "/usr/bin/pelmora is not there"
for f in /usr/share/applications/org.pelmora.Pelmora.desktop /usr/share/pelmora/icons/pelmora.svg \
         /usr/share/icons/hicolor/48x48/apps/org.pelmora.Pelmora.png /usr/share/man/man1/pelmora.1.gz; do
    echo "$files" | grep -qxF "$f" || fail "the package does not hold $f"
done

# The window, in a subshell: its own clean-up stops X and the sound server before removal.
set +e
(
    set -e
    gui_setup
    /usr/bin/pelmora >>"$GUI_WORK/app.log" 2>&1 &
    GUI_APP_PID=$!
    GUI_APP_PIDS+=("$GUI_APP_PID")
    gui_wait_window
    gui_wait_banner "$GUI_READY"
    gui_close_window
    gui_wait_exit "$GUI_APP_PID" 20
    size=$(stat -c %s "$HOME/.config/pelmora/pelmora.ini" 2>/dev/null || echo 0)
    [ "$size" -eq 1617 ] || gui_fail "~/.config/pelmora/pelmora.ini has $size bytes"
)
window=$?
set -e
[ "$window" -eq 0 ] || fail "the installed program did not run as it should"
[ ! -e /usr/bin/pelmora.ini ] || fail "the installed program wrote beside itself"

remove
status=$(dpkg-query -W -f='${Status}' pelmora 2>/dev/null || true)
case "$status" in ""|*not-installed*) ;; *) fail "after dpkg -r the package is '$status'" ;; esac
left=$(for f in $files; do [ -e "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || fail "dpkg -r left files behind: $left"
[ ! -e /usr/share/pelmora ] || fail "dpkg -r left /usr/share/pelmora"
echo "Debian package passed"
