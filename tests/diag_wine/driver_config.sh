#!/usr/bin/env bash
# d418.sys's configuration under Wine, through d418diag and the service
# manager: the base the driver drives comes from Parameters\IoBase under
# its service key (0x300 without one), INIT with any other base is refused
# with error 5, and a base out of range or a malformed value stops the
# driver from starting. The test build's board sits at 0x300.
#
#   driver_config.sh D418DIAG_EXE RUN_DIAG_SH
#
# Runs inside the prefix's environment (wine-session run) with the board
# driver installed as the service d418; leaves it running with no
# Parameters values, as the other tests expect.
set -u
diag=$1 run_diag=$2
key='HKLM\System\CurrentControlSet\Services\d418\Parameters'
INSTALLED=" D418 board correctly installed"
NOT_FOUND=" D418Reset failed: Orvalink Error: D418 not found"
DENIED=" D418Init failed: Operating System Error: 5"
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

state() {
    wine sc query d418 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p'
}

wait_state() {
    local i
    for i in $(seq 1 100); do
        [ "$(state)" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

stop_driver() {
    [ "$(state)" = STOPPED ] && return 0
    wine sc stop d418 >/dev/null 2>&1
    wait_state STOPPED || fail "the driver did not stop"
}

# Starts the driver; prints the error the service manager's start gave
# (Wine's sc reports it on its error channel), nothing when it started.
start_driver() {
    local out
    out=$(WINEDEBUG=err+sc wine sc start d418 2>&1 | tr -d '\r')
    sed -n 's/.*failed to start service \([0-9]*\).*/\1/p' <<<"$out"
}

restart_with() {
    stop_driver
    wine reg delete "$key" /f >/dev/null 2>&1
    local value
    for value in "$@"; do
        # NAME TYPE DATA
        set -- $value
        wine reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1 ||
            fail "cannot set $1 in $key"
    done
}

restore() {
    stop_driver
    wine reg delete "$key" /f >/dev/null 2>&1
    [ -z "$(start_driver)" ] && wait_state RUNNING || fail "the driver does not start again as it was"
}
trap restore EXIT

diag_case() {
    local what=$1 status=$2 line=$3
    shift 3
    bash "$run_diag" "$status" "$line" "$diag" "$@" >/tmp/driver_config.$$ 2>&1 ||
        { fail "$what: d418diag $*"; cat /tmp/driver_config.$$; }
    grep -q '^ok:' /tmp/driver_config.$$ || { fail "$what: d418diag $*"; cat /tmp/driver_config.$$; }
    rm -f /tmp/driver_config.$$
}

# Starts with the values given and expects it to run.
runs_with() {
    local what=$1
    shift
    restart_with "$@"
    local error
    error=$(start_driver)
    [ -z "$error" ] || fail "$what: the start failed with $error"
    wait_state RUNNING || fail "$what: the driver is not running (state $(state))"
}

# Starts with the values given and expects the start to fail with Win32
# error 87, the service manager's form of STATUS_DEVICE_CONFIGURATION_ERROR.
refused_with() {
    local what=$1
    shift
    restart_with "$@"
    local error
    error=$(start_driver)
    [ "$error" = 87 ] || fail "$what: the start gave \"$error\", not 87"
    sleep 0.3
    [ "$(state)" = STOPPED ] || fail "$what: the driver is $(state), not STOPPED"
    echo "ok: $what: not started (error $error)"
}

runs_with "IoBase 0x280" "IoBase REG_DWORD 0x280"
diag_case "IoBase 0x280" 1 "$DENIED" 300
diag_case "IoBase 0x280" 2 "$NOT_FOUND" 280
diag_case "IoBase 0x280, only the low 16 bits count" 2 "$NOT_FOUND" 10280
echo "ok: IoBase 0x280: INIT 300 refused with 5, 280 reaches the driver"

runs_with "no Parameters values"
diag_case "no values" 0 "$INSTALLED" 300
diag_case "no values" 1 "$DENIED" 280
echo "ok: no values: 0x300"

runs_with "IoBase 0x300 and an AllowedGroup" "IoBase REG_DWORD 0x300" \
    "AllowedGroup REG_SZ S-1-5-21-1004336348-1177238915-682003330-513"
diag_case "with an AllowedGroup" 0 "$INSTALLED" 300
echo "ok: a well-formed AllowedGroup: started, opens admitted (Wine gives no security context)"

refused_with "IoBase 0x50" "IoBase REG_DWORD 0x50"
refused_with "IoBase 0x3FD" "IoBase REG_DWORD 0x3FD"
refused_with "IoBase 0xFF" "IoBase REG_DWORD 0xFF"
refused_with "IoBase as a string" "IoBase REG_SZ 300"
refused_with "a malformed AllowedGroup" "AllowedGroup REG_SZ S-1-5-"
refused_with "AllowedGroup as a number" "AllowedGroup REG_DWORD 545"
# The highest base in range still starts.
runs_with "IoBase 0x3FC" "IoBase REG_DWORD 0x3FC"
diag_case "IoBase 0x3FC" 2 "$NOT_FOUND" 3FC

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "ok: all"
