#!/usr/bin/env bash
# d418inst.exe under Wine, through Wine's own service manager, as an
# administrator uses it: the driver's test build installed at 0x300 and
# checked with d418diag, status while free and while another process holds
# the library, bad input that changes nothing, remove, and Windows 98 mode.
# Every case compares the whole output and the exit status.
#   inst_nt.sh PART BIN_DIR WINE_SESSION SLOW [REFUSING_DIR]   (WINEPREFIX set)
# PART is "main" (the above), "other_base" (installed at 0x280, a load
# for 0x300 is refused with 5, then removed) or "refused_start" (drivers
# that refuse to start, from REFUSING_DIR, and what the installer says). BIN_DIR holds d418inst.exe,
# d418diag.exe, d418lib.dll, d418test.sys and lifecycle_e2e.exe; SLOW is
# how many times slower than the 64-bit Wine programs run here.
# The service d418 is this test's own while it runs: it starts with no
# d418 service and no simulated driver, and leaves neither behind.
set -u
here=$(dirname "$0")
part=$1 bin=$2 session=$3 slow=$4 refusing=${5:-}
. "$here/../cmd_wine/expect.sh"

inst=$bin/d418inst.exe
diag=$bin/d418diag.exe
# The driver's test build, by its Windows path (drive Z: is the root).
driver="Z:$(printf '%s' "$bin/d418test.sys" | tr / '\\')"
sys_dir='C:\windows\system32\drivers'
installed_line=" D418 board correctly installed"

# check NAME CONDITION...: one more check, run as a command.
check() {
    local name=$1
    shift
    if "$@"; then passed=$((passed + 1)); else
        echo "case $name: failed: $*"
        failed=$((failed + 1))
    fi
}

service_key_gone() { ! wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\d418' >/dev/null 2>&1; }
driver_file_gone() { [ ! -e "$WINEPREFIX/drive_c/windows/system32/drivers/d418.sys" ]; }

# Only one driver can own \Device\D418: the simulated one must not run.
bash "$session" driver-stop "$WINEPREFIX" || exit 2

# install_at NAME BASE [over]: install at BASE, over a running driver or
# not.
install_at() {
    {
        echo "Driver file: $driver"
        [ -n "${3:-}" ] && echo "Stopped the running driver"
        echo "Copied to $sys_dir\\d418.sys"
        echo "Service d418 $([ -n "${3:-}" ] && echo updated || echo created): kernel driver, start auto"
        echo "Parameters: IoBase 0x$2, no AllowedGroup"
        echo "Driver started"
    } >"$work/install.want"
    expect "$1" 0 -- "$inst" install -b "$2" "$driver" <"$work/install.want"
}

remove_all() {
    expect "$1" 0 -- "$inst" remove <<OUT
Stopped the driver
Parameters deleted
Service d418 deleted
Deleted $sys_dir\\d418.sys
OUT
    check "$1_service_key_gone" service_key_gone
    check "$1_driver_file_gone" driver_file_gone
    expect "$1_diag_after" 1 -- "$diag" 300 <<'OUT'
 D418Init failed: Operating System Error: 1114
OUT
}

if [ "$part" = other_base ]; then
    install_at install_300 300
    install_at install_280_over_it 280 over
    # The driver takes only its configured base: a load for 0x300 is refused.
    expect diag_other_base 1 -- "$diag" 300 <<'OUT'
 D418Init failed: Operating System Error: 5
OUT
    remove_all remove
    summary
    exit
fi

if [ "$part" = refused_start ]; then
    # What Wine's StartService gives for DriverEntry's status: its Win32
    # error (STATUS_DEVICE_CONFIGURATION_ERROR is 87 there, as on NT).
    config="Z:$(printf '%s' "$refusing/d418refuse_config.sys" | tr / '\\')"
    ports="Z:$(printf '%s' "$refusing/d418refuse_ports.sys" | tr / '\\')"
    expect refused_settings 1 --err "d418inst: StartServiceA failed, error 87. The driver \
refused its settings: the base is outside 100-3FC or a parameter is malformed." -- \
        "$inst" install "$config" <<OUT
Driver file: $config
Copied to $sys_dir\\d418.sys
Service d418 created: kernel driver, start auto
Parameters: IoBase 0x300, no AllowedGroup
OUT
    expect status_refused 0 -- "$inst" status <<'OUT'
Service d418: installed
Start type: auto
Running: no
Base: 0x300
Allowed group: none
Device \\.\D418: refused, the driver is not running
OUT
    expect refused_ports 1 --err "d418inst: StartServiceA failed, error 487. The driver \
found its ports held by another device: choose another base with -b." -- \
        "$inst" install -b 280 "$ports" <<OUT
Driver file: $ports
Copied to $sys_dir\\d418.sys
Service d418 updated: kernel driver, start auto
Parameters: IoBase 0x280, no AllowedGroup
OUT
    expect remove_refused 0 -- "$inst" remove <<OUT
Parameters deleted
Service d418 deleted
Deleted $sys_dir\\d418.sys
OUT
    check refused_service_key_gone service_key_gone
    check refused_driver_file_gone driver_file_gone
    summary
    exit
fi

expect status_before 0 -- "$inst" status <<'OUT'
Service d418: not installed
Device \\.\D418: refused, the driver is not running
OUT

# Bad input changes nothing.
expect unknown_group 3 --err 'd418inst: unknown group "No Such Group"' -- \
    "$inst" install -g "No Such Group" "$driver" </dev/null
expect base_out_of_range 3 --err 'd418inst: base address outside 100-3FC "50"' -- \
    "$inst" install -b 50 "$driver" </dev/null
expect no_driver_file 3 --err 'd418inst: no driver file "C:\none\d418.sys"' -- \
    "$inst" install 'C:\none\d418.sys' </dev/null
check bad_input_left_no_service service_key_gone

install_at install 300
expect diag_installed 0 -- "$diag" 300 <<OUT
$installed_line
OUT
expect status_free 0 -- "$inst" status <<'OUT'
Service d418: installed
Start type: auto
Running: yes
Base: 0x300
Allowed group: none
Device \\.\D418: opens, free for this account
OUT

# Another process holds the library, so the device, for a while.
hold_ms=$((4000 * slow))
(cd "$bin" && wine ./lifecycle_e2e.exe hold-for "$hold_ms" >"$work/holder.out" 2>&1) &
holder=$!
for _ in $(seq 1 200); do
    grep -q held "$work/holder.out" 2>/dev/null && break
    sleep 0.1
done
expect status_held 0 -- "$inst" status <<'OUT'
Service d418: installed
Start type: auto
Running: yes
Base: 0x300
Allowed group: none
Device \\.\D418: refused, held by another program
OUT
wait "$holder"
check holder_held grep -q held "$work/holder.out"

# A group is written as its SID; a later install without -g removes it.
expect install_group 0 -- "$inst" install -g Administrators -m demand "$driver" <<OUT
Driver file: $driver
Stopped the running driver
Copied to $sys_dir\\d418.sys
Service d418 updated: kernel driver, start demand
Parameters: IoBase 0x300, AllowedGroup S-1-5-32-544 (Administrators)
Driver started
OUT
expect status_group 0 -- "$inst" status <<'OUT'
Service d418: installed
Start type: demand
Running: yes
Base: 0x300
Allowed group: S-1-5-32-544
Device \\.\D418: opens, free for this account
OUT

remove_all remove
expect status_after 0 -- "$inst" status <<'OUT'
Service d418: not installed
Device \\.\D418: refused, the driver is not running
OUT
expect remove_again 0 -- "$inst" remove <<OUT
Service d418 is not installed
No driver file at $sys_dir\\d418.sys
OUT

# Windows 98 mode, for a copy under a name of its own (the mode is set per
# program name).
w98=$work/w98
mkdir -p "$w98" && cp "$inst" "$w98/d418inst_w98.exe" || exit 2
wine reg add 'HKCU\Software\Wine\AppDefaults\d418inst_w98.exe' /v Version /t REG_SZ /d win98 /f \
    >/dev/null 2>&1 || exit 2
for command in install remove status; do
    expect "win98_$command" 0 -- "$w98/d418inst_w98.exe" $command <<'OUT'
Windows 95, 98 and Me reach the D418 board directly and need no driver: nothing to do.
OUT
done
check win98_left_no_service service_key_gone

summary
