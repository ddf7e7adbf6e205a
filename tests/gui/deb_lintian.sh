#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a configured and built folder into a temporary folder and
# checks it with lintian: no error, and no warning that the package's overrides do not
# explain. A local build's maintainer (the default) is no release: skipped, except in CI.
#   tests/gui/deb_lintian.sh BUILD_FOLDER
set -euo pipefail
BUILD=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps.sh installs it)"
maintainer=$(cat "$BUILD/maintainer.txt")
case "$maintainer" in
    *@localhost\>)
        [ "${CI:-}" != true ] || fail "the package's maintainer is '$maintainer' in CI"
        echo "SKIPPED: the maintainer is a local build's; configure with -DPELMORA_MAINTAINER_NAME=... -DPELMORA_MAINTAINER_EMAIL=..."
        exit 77 ;;
esac

WORK=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-lintian-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$(ls "$WORK"/pelmora_*_*.deb)
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] || fail "Maintainer is '$(dpkg-deb -f "$deb" Maintainer)'"
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pelmora/changelog.gz) | grep -qF -- " -- $maintainer  " ||
    fail "changelog.gz does not name the maintainer"

lintian --fail-on error,warning --display-level '>=warning' --show-overrides "$deb" ||
    fail "lintian found errors or unexplained warnings in $(basename "$deb")"
echo "lintian passed"
