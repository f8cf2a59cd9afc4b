#!/bin/sh
# Runs a Windows program under Wine in a Wine prefix of its own:
#   run_under_wine.sh WINE WINESERVER PREFIX PROGRAM [ARGUMENT...]
# Quiet (WINEDEBUG=-all), without a display and without the Mono and Gecko
# installers. The prefix is made on the first start; one that a stopped run
# left half made is made anew. Exits with the program's exit status, after
# the Wine server of the prefix has ended.
set -eu
if [ $# -lt 4 ]; then
    echo "usage: $0 WINE WINESERVER PREFIX PROGRAM [ARGUMENT...]" >&2
    exit 2
fi
wine=$1
wineserver=$2
prefix=$3
shift 3

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

ready="$prefix/.lumtrax-prefix-ready"
if [ ! -f "$ready" ]; then
    rm -rf "$prefix"
    echo "making the Wine prefix $prefix"
    "$wine" wineboot --init
    "$wineserver" --wait
    touch "$ready"
fi

status=0
"$wine" "$@" || status=$?
"$wineserver" --wait || true
exit "$status"
