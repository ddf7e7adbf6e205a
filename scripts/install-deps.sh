#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages needed to build, run and test the project.
# Safe to run repeatedly: does nothing when every package is present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libwxgtk3.2-dev libgtk-3-dev libx11-dev libasound2-dev libmd-dev libpulse-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lame
  clang libclang-rt-14-dev
  xvfb xdotool x11-utils imagemagick fonts-dejavu-core fonts-urw-base35
  pulseaudio libasound2-plugins alsa-utils
  pipewire pipewire-bin wireplumber pipewire-pulse
  dbus dbus-bin python3-pyatspi at-spi2-core
  dpkg-dev file desktop-file-utils appstream xdg-user-dirs lintian
  libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
