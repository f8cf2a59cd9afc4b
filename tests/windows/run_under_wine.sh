#!/bin/sh
# Runs a Windows program under Wine in a Wine prefix of its own:
#   run_under_wine.sh ARCH PROBE WINE WINESERVER PREFIX PROGRAM [ARGUMENT...]
# ARCH is 32-bit or 64-bit, PROBE a program of that architecture that
# answers 42. Quiet (WINEDEBUG=-all), without a display and without the Mono
# and Gecko installers. The prefix is made on the first start; one that a
# stopped run left half made is made anew.
#
# Whether this machine can run programs of ARCH is decided by running them:
# when Wine cannot make the prefix or the probe does not answer 42, the
# program is not run, the reason is printed, and the script exits with 77,
# which the tests take as "skipped". Otherwise it exits with the program's
# exit status, after the Wine server of the prefix has ended.
set -eu
if [ $# -lt 6 ]; then
    echo "usage: $0 ARCH PROBE WINE WINESERVER PREFIX PROGRAM [ARGUMENT...]" >&2
    exit 2
fi
arch=$1
probe=$2
wine=$3
wineserver=$4
prefix=$5
shift 5
skipped=77

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cannot_run() {
    echo "SKIPPED: this machine cannot run $arch programs ($1)"
    exit "$skipped"
}

ready="$prefix/.lumtrax-prefix-ready"
if [ ! -f "$ready" ]; then
    rm -rf "$prefix"
    echo "making the Wine prefix $prefix"
    status=0
    output=$("$wine" wineboot --init 2>&1) || status=$?
    "$wineserver" --wait 2>/dev/null || true
    if [ "$status" -ne 0 ]; then
        rm -rf "$prefix"
        cannot_run "$(basename "$wine") wineboot exited with $status: $(echo "$output" | tail -n 1)"
    fi
    touch "$ready"
fi

status=0
output=$("$wine" "$probe" 2>&1) || status=$?
"$wineserver" --wait 2>/dev/null || true
if [ "$status" -ne 42 ]; then
    cannot_run "$(basename "$probe") under $(basename "$wine") exited with $status, not 42: $(echo "$output" | tail -n 1)"
fi

echo "running $(basename "$1") under $wine ($arch)"
status=0
"$wine" "$@" || status=$?
"$wineserver" --wait || true
exit "$status"
