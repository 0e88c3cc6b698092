#!/usr/bin/env bash
# d418cmd.exe on the NT family, against the simulated driver: an exchange,
# a scripted reply, timeouts, a short reply, failing requests, scripts from
# a file and from standard input, and refused input that never reaches the
# driver. Every case compares the whole output.
#   cmd_nt.sh CMD_EXE SIMCTL_EXE WORK_DIR      (WINEPREFIX set)
set -u
here=$(dirname "$0")
cmd=$1 simctl=$2 dir=$3
. "$here/expect.sh"

ctl() { wine "$simctl" "$@" | tr -d '\r'; }

# checks NAME WHAT GOT: one more check of what the driver saw.
checks() {
    if [[ $3 == *$2* ]]; then passed=$((passed + 1)); else
        echo "case $1: expected the driver to show $2, got: $3"
        failed=$((failed + 1))
    fi
}

ctl reset >/dev/null
expect exchange 0 -- "$cmd" send 304 102 AA bb 0C <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0304 w1=0x0102 length=3 result=0
D418ReadResponse result=0 count=3
  0000  AA BB 0C
OUT

# A reply with a status word and 20 payload bytes.
ctl reset >/dev/null
ctl answer D4182400 "00 00 05 01" 00112233445566778899AABBCCDDEEFF DEADBEEF >/dev/null
expect scripted_reply 2 -- "$cmd" -b 0x300 send 1 2 <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0001 w1=0x0002 length=0 result=0
D418ReadResponse result=261 count=20
  0000  00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF
  0010  DE AD BE EF
OUT

# The driver gives up waiting: its request fails with its own code.
ctl reset >/dev/null
ctl fail D4182400 STATUS_IO_TIMEOUT >/dev/null
expect timeout_request 1 -- "$cmd" -t 50 send 304 102 01 <<'OUT'
D418Init base=0x300 result=0
D418Timeout timeout=50 result=0
D418SendCommand w2=0x0304 w1=0x0102 length=1 result=0
D418ReadResponse result=1: Operating System Error: 121
OUT
checks timeout_request "timeout=50 " "$(ctl state)"

# A reply whose status word is 3 reads like the library's timeout.
ctl reset >/dev/null
ctl answer D4182400 "00 00 03 00" >/dev/null
expect timeout_status_word 1 -- "$cmd" send 304 102 <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0304 w1=0x0102 length=0 result=0
D418ReadResponse result=3 count=0: Orvalink Error: Timeout expired
OUT

ctl reset >/dev/null
ctl answer D4182400 "00 00 00" >/dev/null
expect short_reply 1 -- "$cmd" send 304 102 AA <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0304 w1=0x0102 length=1 result=0
D418ReadResponse result=2 count=0: Orvalink Error: Less data received
OUT

# A failing send: no reply is read after it.
ctl reset >/dev/null
ctl fail D4182404 STATUS_DEVICE_NOT_READY >/dev/null
expect failing_send 1 -- "$cmd" send 304 102 AA <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0304 w1=0x0102 length=1 result=1: Operating System Error: 21
OUT
checks failing_send "code=0xD4182404 " "$(ctl last)"

ctl reset >/dev/null
ctl fail D4182414 STATUS_IO_TIMEOUT >/dev/null
expect failing_reset 1 -- "$cmd" reset <<'OUT'
D418Init base=0x300 result=0
D418Reset result=1: Operating System Error: 121
OUT

ctl reset >/dev/null
ctl fail D418240C STATUS_ACCESS_DENIED >/dev/null
expect failing_init 1 -- "$cmd" -k reset <<'OUT'
D418Init base=0x300 result=1: Operating System Error: 5
OUT

# The board is elsewhere: the driver's own "not found" status word.
ctl reset >/dev/null
expect not_found 1 -- "$cmd" -b 280 reset <<'OUT'
D418Init base=0x280 result=0
D418Reset result=4: Orvalink Error: D418 not found
OUT

# A script with CR LF line ends. Without -k it stops at the reset's status
# word; with -k, from standard input, it runs to the end.
printf '# check the board\r\nreset\r\n\r\nsend 10 20 01 02  # two bytes\r\ntimeout 25\r\n' \
    >"$dir/check.txt"
ctl reset >/dev/null
ctl answer D4182414 "00 00 05 01" >/dev/null
expect script_stops 2 -- "$cmd" -f "$dir/check.txt" <<'OUT'
D418Init base=0x300 result=0
D418Reset result=261
OUT
checks script_stops "code=0xD4182414 " "$(ctl last)"

ctl reset >/dev/null
ctl answer D4182414 "00 00 05 01" >/dev/null
expect script_keeps_going 2 --stdin "$dir/check.txt" -- "$cmd" -k -f - <<'OUT'
D418Init base=0x300 result=0
D418Reset result=261
D418SendCommand w2=0x0010 w1=0x0020 length=2 result=0
D418ReadResponse result=0 count=2
  0000  01 02
D418Timeout timeout=25 result=0
OUT
checks script_keeps_going "timeout=25 " "$(ctl state)"

# The largest payload, there and back.
{
    printf 'send 304 102'
    for ((i = 0; i < 4092; i++)); do printf ' %02X' $((i % 256)); done
    printf '\n'
} >"$dir/largest.txt"
ctl reset >/dev/null
{
    printf 'D418Init base=0x300 result=0\n'
    printf 'D418SendCommand w2=0x0304 w1=0x0102 length=4092 result=0\n'
    printf 'D418ReadResponse result=0 count=4092\n'
    for ((at = 0; at < 4092; at += 16)); do
        printf '  %04X ' $at
        for ((i = at; i < at + 16 && i < 4092; i++)); do printf ' %02X' $((i % 256)); done
        printf '\n'
    done
} >"$dir/largest.out"
expect largest 0 -- "$cmd" -f "$dir/largest.txt" <"$dir/largest.out"

# Refused input: one line on stderr, and the library never loads, so the
# driver's device is never opened.
ctl reset >/dev/null
before=$(ctl counts | sed -n 's/.*creates=\([0-9]*\).*/\1/p')
expect refused_byte 3 --err 'd418cmd: byte above FF "1FF"' -- "$cmd" send 304 102 1FF </dev/null
printf 'reset\nsend 1 2\nsend 1 10000\n' >"$dir/bad.txt"
expect refused_script 3 --err "d418cmd: $dir/bad.txt:3: word above FFFF \"10000\"" -- \
    "$cmd" -f "$dir/bad.txt" </dev/null
expect refused_missing_script 3 --err "d418cmd: cannot open script \"$dir/none.txt\"" -- \
    "$cmd" -f "$dir/none.txt" </dev/null
checks refused "creates=$before " "$(ctl counts)"

# No library beside the program nor on the search path.
expect no_library 1 --copy-to "$dir/no_library" -- "$cmd" reset <<'OUT'
D418Init base=0x300 result=1: Operating System Error: 126
OUT

summary
