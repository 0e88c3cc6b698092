#!/usr/bin/env bash
# d418.inf installed and removed the way an administrator does, through
# setupapi's InstallHinfSection, in a Wine prefix of its own (the service
# it makes is auto-start, and the shared prefix's d418 is the test build):
# the driver's file, the service's values and Parameters\IoBase 0x300; then
# the removal takes them away.
#
#   inf_install.sh WINE_SESSION PREFIX INF SYS
set -u
session=$1 prefix=$2 inf=$3 sys=$4
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

rm -rf "$prefix"
bash "$session" start "$prefix" win64 || exit 1
trap 'bash "$session" stop "$prefix"; rm -rf "$prefix"' EXIT
mkdir -p "$prefix/drive_c/d418" && cp "$inf" "$sys" "$prefix/drive_c/d418/" || exit 1

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
key='HKLM\System\CurrentControlSet\Services\d418'
value() {  # KEY NAME: prints "TYPE DATA"
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { print $2, $3 }'
}

cd "$prefix/drive_c/d418" || exit 1
wine rundll32 setupapi.dll,InstallHinfSection DefaultInstall 128 .\\d418.inf ||
    fail "the install section failed"
cmp -s "$sys" "$prefix/drive_c/windows/system32/drivers/d418.sys" ||
    fail "d418.sys is not in system32\\drivers"
for expected in "Type REG_DWORD 0x1" "Start REG_DWORD 0x2" "ErrorControl REG_DWORD 0x1"; do
    set -- $expected
    [ "$(value "$key" "$1")" = "$2 $3" ] || fail "service value $1: \"$(value "$key" "$1")\""
done
[ "$(value "$key\\Parameters" IoBase)" = "REG_DWORD 0x300" ] ||
    fail "Parameters\\IoBase: \"$(value "$key\\Parameters" IoBase)\""
[ -z "$(value "$key\\Parameters" AllowedGroup)" ] || fail "an AllowedGroup was written"
[ -z "$(value "$key" Description)" ] || fail "a service description was written"

wine rundll32 setupapi.dll,InstallHinfSection DefaultUninstall 128 .\\d418.inf ||
    fail "the uninstall section failed"
wine reg query "$key" >/dev/null 2>&1 && fail "the service key is still there"
[ -e "$prefix/drive_c/windows/system32/drivers/d418.sys" ] && fail "d418.sys is still there"

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "ok: d418.inf installs d418.sys with IoBase 0x300 and removes it"
