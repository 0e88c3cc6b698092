#!/usr/bin/env bash
# d418cmd with the real d418lib.dll on the port path (Windows 98 mode),
# against a board emulated in the program's own process: a full exchange,
# a status word, a timeout and an absent board. Every case compares the
# whole output.
#   cmd_port.sh CMD_EMU_EXE      (WINEPREFIX set, Windows 98 mode set for it)
set -u
here=$(dirname "$0")
emu=$1
. "$here/expect.sh"

script=$work/exchange.txt
printf 'reset\nsend 304 102 AA BB CC DD EE FF 00 11 22 33 44 55 66 77 88 99 0A\n' >"$script"
expect full_exchange 0 --env D418_EMU_BOARD=echo -- "$emu" -t 100 -f "$script" <<'OUT'
D418Init base=0x300 result=0
D418Timeout timeout=100 result=0
D418Reset result=0
D418SendCommand w2=0x0304 w1=0x0102 length=17 result=0
D418ReadResponse result=0 count=17
  0000  AA BB CC DD EE FF 00 11 22 33 44 55 66 77 88 99
  0010  0A
OUT

expect status_word 2 --env D418_EMU_BOARD=reply=00000501C0FFEE -- "$emu" send 1 2 <<'OUT'
D418Init base=0x300 result=0
D418SendCommand w2=0x0001 w1=0x0002 length=0 result=0
D418ReadResponse result=261 count=3
  0000  C0 FF EE
OUT

# No reply within a tenth of a second.
expect timeout 1 --env D418_EMU_BOARD=silent -- "$emu" -t 10 send 1 2 <<'OUT'
D418Init base=0x300 result=0
D418Timeout timeout=10 result=0
D418SendCommand w2=0x0001 w1=0x0002 length=0 result=0
D418ReadResponse result=3 count=0: Orvalink Error: Timeout expired
OUT

expect absent 1 --env D418_EMU_BOARD=absent -- "$emu" reset <<'OUT'
D418Init base=0x300 result=0
D418Reset result=4: Orvalink Error: D418 not found
OUT

summary
