#!/usr/bin/env bash
# Runs Windows programs while the simulated driver is stopped, then starts
# the driver again and checks that a load is accepted once it runs.
#   without_driver.sh PREFIX SYS CTL LIFECYCLE_EXE [DIAG_EXE]
set -u
session="$(dirname "$0")/../../scripts/wine-session"
prefix=$1 sys=$2 ctl=$3 lifecycle=$4 diag=${5:-}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
failed=0

bash "$session" driver-stop "$prefix" || exit 1

# Refused, with the flag given back.
wine "$lifecycle" no-driver || failed=1

if [ -n "$diag" ]; then
    out=$(wine "$diag" 300 | tr -d '\r')
    code=$?
    expected=" D418Init failed: Operating System Error: 1114"
    if [ "$out" != "$expected" ]; then
        echo "d418diag 300 without driver: expected \"$expected\", got \"$out\""
        failed=1
    fi
fi

bash "$session" driver-start "$prefix" "$sys" "$ctl" || exit 1

# Once the driver runs, a load is accepted.
wine "$lifecycle" child-try
code=$?
if [ $code -ne 0 ]; then
    echo "load after the driver started: expected exit 0, got $code"
    failed=1
fi
[ $failed -eq 0 ] && echo "without driver: all checks passed"
exit $failed
