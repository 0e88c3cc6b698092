#!/usr/bin/env bash
# d418diag.exe on the NT family, against the simulated driver: the verdict
# line and exit status for each answer the driver can give, and the base
# address that reaches the driver for each accepted spelling.
#   diag_nt.sh DIAG_EXE SIMCTL_EXE LIFECYCLE_EXE      (WINEPREFIX set)
set -u
here=$(dirname "$0")
diag=$1 simctl=$2 lifecycle=$3
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
failed=0 passed=0

ctl() { wine "$simctl" "$@" | tr -d '\r'; }

expect() {  # expect STATUS LINE ARGS...
    local report
    if report=$(bash "$here/run_diag.sh" "$@"); then
        passed=$((passed + 1))
    else
        echo "case: d418diag ${*:3}"
        printf '%s\n' "$report" | sed 's/^/  /'
        failed=$((failed + 1))
    fi
}

expect_base() {  # expect_base ARG HEX
    ctl reset >/dev/null
    bash "$here/run_diag.sh" 0 " D418 board correctly installed" "$diag" "$1" >/dev/null ||
        [ "$2" != 0x300 ] || { echo "d418diag $1 failed"; failed=$((failed + 1)); }
    local base
    base=$(ctl state | sed -n 's/.*base=\(0x[0-9A-Fa-f]*\).*/\1/p')
    if [ "$base" = "$2" ]; then passed=$((passed + 1)); else
        echo "d418diag $1: expected base $2 at the driver, got $base"
        failed=$((failed + 1))
    fi
}

installed=" D418 board correctly installed"
ctl reset >/dev/null
expect 0 "$installed" "$diag" 300

# Reset acknowledgements and their status words.
while IFS='|' read -r ack line; do
    ctl reset >/dev/null
    ctl answer D4182414 "$ack" >/dev/null
    expect 2 " D418Reset failed: $line" "$diag" 300
done <<'CASES'
00 00 02 00|Orvalink Error: Less data received
00 00 04 00|Orvalink Error: D418 not found
00 00 05 00|Another instance of d418lib.dll already loaded
00 00 05 01|Orvalink Error: 261
00 00 03 00|Orvalink Error: Timeout expired
00 00|Orvalink Error: Less data received
CASES

# Failing requests: the request's own error code.
ctl reset >/dev/null
ctl fail D4182414 STATUS_DEVICE_NOT_READY >/dev/null
expect 2 " D418Reset failed: Operating System Error: 21" "$diag" 300
ctl reset >/dev/null
ctl fail D418240C STATUS_IO_TIMEOUT >/dev/null
expect 1 " D418Init failed: Operating System Error: 121" "$diag" 300

# The base that reaches the driver.
expect_base 300 0x300
expect_base 0X300 0x300
expect_base 300h 0x300
expect_base 1ff 0x1FF
ctl reset >/dev/null
expect 2 " D418Reset failed: Orvalink Error: D418 not found" "$diag" 1ff

# Another process holds the library: the load is refused.
ctl reset >/dev/null
wine "$lifecycle" hold-for 4000 >/dev/null &
holder=$!
if ctl wait-open 1 10000 >/dev/null; then
    expect 1 " D418Init failed: Operating System Error: 1114" "$diag" 300
else
    echo "the holder did not open the device"
    failed=$((failed + 1))
fi
wait $holder
ctl wait-open 0 5000 >/dev/null
ctl reset >/dev/null
expect 0 "$installed" "$diag" 300

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
