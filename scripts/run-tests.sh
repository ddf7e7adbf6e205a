#!/usr/bin/env bash
# Configures, builds and runs every test: the full build (engine, window, GUI tests under
# Xvfb, the installed program), the Debian package installed and removed again, then the
# engine again under ThreadSanitizer, and under AddressSanitizer with UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The Debian package, installed into the system and removed again: only where we may do so.
if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
  bash tests/gui/deb_package.sh build
else
  echo "Debian package test skipped: it needs root or sudo"
fi

cmake -S . -B build-tsan -DPELMORA_TSAN=ON -DPELMORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -LE notsan

cmake -S . -B build-asan -DPELMORA_ASAN=ON -DPELMORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS="halt_on_error=1 detect_leaks=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE noasan
