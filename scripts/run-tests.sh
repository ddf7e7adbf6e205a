#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures, builds and runs every test: the full build (engine, window, GUI tests under
# Xvfb, the installed program, lintian on the Debian package), the settings-file fuzzer for
# a minute (clang's libFuzzer), the engine again under ThreadSanitizer, and under
# AddressSanitizer with UndefinedBehaviorSanitizer; last the Debian package installed into
# the system and removed again.
#
# The tests run as an ordinary user, as the program does: root may raise priorities and
# write read-only folders, which hides faults. Started as root, the script builds and runs
# all of that as the user pelmora-test (created when missing; PELMORA_TEST_USER names
# another), and only the package test, which needs root, runs as root.
# Under CI (CI=true) a test that skips is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

# A failing test run does not stop the others; the script fails at the end. Builds stop it.
failed=()

# Tests of real-time scheduling: an ordinary user may use it only where RLIMIT_RTPRIO allows,
# which a machine without CAP_SYS_RESOURCE cannot grant. Started as root, the script runs them
# apart as root; the ordinary user's runs leave them out.
root_only='[.]A?RealTime'
apart=()
if [ -n "${PELMORA_ROOT_RUNS_APART:-}" ]; then apart=(-E "$root_only"); fi

# ctest with its output kept: under CI a skipped test fails the run.
run_ctest() {
    local log status=0
    log=$(mktemp)
    ctest "$@" --output-on-failure -j"$jobs" 2>&1 | tee "$log" || status=$?
    if [ "$status" -eq 0 ] && [ "${CI:-}" = true ] && grep -q '(Skipped)' "$log"; then
        echo "FAIL: tests were skipped; under CI every test must run" >&2
        status=1
    fi
    rm -f "$log"
    [ "$status" -eq 0 ] || failed+=("ctest $*")
}

# Everything but the package test; run by the unprivileged user.
build_and_test() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPELMORA_MAINTAINER_NAME="${PELMORA_MAINTAINER_NAME:-Pelmora tests}" \
        -DPELMORA_MAINTAINER_EMAIL="${PELMORA_MAINTAINER_EMAIL:-tests@pelmora.example}"
    cmake --build build -j"$jobs"
    run_ctest --test-dir build "${apart[@]}"

    # The fuzzer on the checked-in corpus, then searching for FUZZ_SECONDS, with ASan and UBSan.
    if command -v clang++ >/dev/null; then
        CC=clang CXX=clang++ cmake -S . -B build-fuzz -DPELMORA_FUZZ=ON -DPELMORA_GUI=OFF -DPELMORA_TESTS=OFF \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo
        cmake --build build-fuzz -j"$jobs" --target fuzz_load_settings
        run_ctest --test-dir build-fuzz
        rm -rf build-fuzz/corpus build-fuzz/crashes
        mkdir -p build-fuzz/corpus build-fuzz/crashes
        # The settings files it writes go to memory where possible: fsync on a disk slows it 40 times.
        local scratch=${TMPDIR:-/tmp}
        if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=/dev/shm; fi
        TMPDIR=$scratch build-fuzz/fuzz/fuzz_load_settings -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 \
            -print_final_stats=1 -artifact_prefix=build-fuzz/crashes/ build-fuzz/corpus fuzz/corpus ||
            failed+=("fuzz_load_settings (inputs in build-fuzz/crashes/)")
    elif [ "${CI:-}" = true ]; then
        failed+=("the fuzzer: clang is missing (scripts/install-deps.sh installs it)")
    else
        echo "Fuzzer skipped: it needs clang (scripts/install-deps.sh installs it)"
    fi

    cmake -S . -B build-tsan -DPELMORA_TSAN=ON -DPELMORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build-tsan -j"$jobs"
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
        run_ctest --test-dir build-tsan -LE notsan "${apart[@]}"

    cmake -S . -B build-asan -DPELMORA_ASAN=ON -DPELMORA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build-asan -j"$jobs"
    ASAN_OPTIONS="halt_on_error=1 detect_leaks=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
        run_ctest --test-dir build-asan -LE noasan "${apart[@]}"

    if [ ${#failed[@]} -gt 0 ]; then
        printf 'FAILED: %s\n' "${failed[@]}" >&2
        return 1
    fi
}

# As root: the unprivileged user builds and tests in build folders of its own.
build_and_test_unprivileged() {
    local user=${PELMORA_TEST_USER:-pelmora-test}
    if ! id -u "$user" >/dev/null 2>&1; then
        useradd --create-home --user-group --shell /bin/bash --comment "Pelmora tests" "$user"
    fi
    local group home
    group=$(id -gn "$user")
    home=$(getent passwd "$user" | cut -d: -f6)
    install -d -o "$user" -g "$group" "$home" "$home/tmp"
    # The X servers' socket folder, open to every user as on a desktop.
    install -d -m 1777 /tmp/.X11-unix

    tree=$PWD
    if ! runuser -u "$user" -- test -r "$tree/CMakeLists.txt" -a -x "$tree/scripts"; then
        # A checkout the user cannot read (under /root, say): the user works on a copy.
        tree=$home/pelmora-src
        rm -rf "$tree"
        install -d -o "$user" -g "$group" "$tree"
        tar --exclude='./build*' -cf - . | runuser -u "$user" -- tar -xf - -C "$tree"
        echo "Testing a copy in $tree: $user cannot read $PWD"
    fi
    local dir
    for dir in build build-fuzz build-tsan build-asan; do
        install -d "$tree/$dir"
        chown -R "$user:$group" "$tree/$dir"
    done

    local pass=() var
    for var in CI CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER CCACHE_BASEDIR CCACHE_NOHASHDIR \
               PELMORA_MAINTAINER_NAME PELMORA_MAINTAINER_EMAIL FUZZ_SECONDS; do
        if [ -n "${!var+set}" ]; then pass+=("$var=${!var}"); fi
    done
    echo "Building and testing as $user"
    (cd "$tree" && exec runuser -u "$user" -- env -i PATH="$PATH" HOME="$home" USER="$user" LOGNAME="$user" \
        SHELL=/bin/bash LANG="${LANG:-C.UTF-8}" TERM="${TERM:-dumb}" TMPDIR="$home/tmp" \
        PELMORA_TEST_STAGE=unprivileged PELMORA_ROOT_RUNS_APART=1 "${pass[@]}" bash scripts/run-tests.sh) || status=$?
}

if [ "${PELMORA_TEST_STAGE:-}" = unprivileged ]; then
    build_and_test
    exit
fi

tree=$PWD
status=0
if [ "$(id -u)" -eq 0 ]; then
    build_and_test_unprivileged
else
    PELMORA_TEST_STAGE=unprivileged bash scripts/run-tests.sh || status=$?
fi
[ -x "$tree/build/src/app/pelmora" ] || exit 1

if [ "$(id -u)" -eq 0 ]; then
    echo "Real-time scheduling tests (as root: this user may use real-time priorities)"
    failed=()
    jobs=1 run_ctest --test-dir "$tree/build" -R "$root_only"
    [ ${#failed[@]} -eq 0 ] || status=1
fi

# The Debian package, installed into the system and removed again: only where we may do so.
if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
    echo "Debian package test (needs root: installs into the system)"
    bash tests/gui/deb_package.sh "$tree/build" || status=1
elif [ "${CI:-}" = true ]; then
    echo "FAIL: the Debian package test needs root or sudo" >&2
    status=1
else
    echo "Debian package test skipped: it needs root or sudo"
fi
exit "$status"
