#!/usr/bin/env bash
# Runs a Windows program under Wine and compares its stdout (CR LF turned
# into LF, nothing else) and its exit status with what is expected.
#
#   run_diag.sh [--copy-to DIR] [--fresh] [--env NAME=VALUE]... [--host]
#               STATUS LINE EXE [ARGS...]
#
# STATUS is the expected exit status; stdout must be exactly LINE followed
# by one newline. With --copy-to, EXE is copied into DIR (emptied first with
# --fresh) and the copy runs there, so that it finds only what DIR holds.
# The program always runs in its own folder. WINEPREFIX comes from the
# environment. With --host, EXE is a script of this machine (the main job),
# run with bash instead of under Wine.
set -u
copy_to="" fresh=0 host=0
envs=()
while [ $# -gt 0 ]; do
    case "$1" in
    --copy-to) copy_to=$2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    --env) envs+=("$2"); shift 2 ;;
    --host) host=1; shift ;;
    *) break ;;
    esac
done
[ $# -ge 3 ] || { echo "usage: run_diag.sh [options] STATUS LINE EXE [ARGS...]" >&2; exit 2; }
want_status=$1 want_line=$2 exe=$3
shift 3
: "${WINEPREFIX:?WINEPREFIX is not set}"

if [ -n "$copy_to" ]; then
    [ $fresh -eq 1 ] && rm -rf "$copy_to"
    mkdir -p "$copy_to" && cp "$exe" "$copy_to/" || exit 2
    exe=$copy_to/$(basename "$exe")
fi

out=$(mktemp) want=$(mktemp)
trap 'rm -f "$out" "$want"' EXIT
cd "$(dirname "$exe")" || exit 2
runner=(wine)
[ $host -eq 1 ] && runner=(bash)
env "${envs[@]}" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= \
    "${runner[@]}" "./$(basename "$exe")" "$@" >"$out.raw"
status=$?
perl -0777 -pe 's/\r\n/\n/g' "$out.raw" >"$out"
rm -f "$out.raw"
printf '%s\n' "$want_line" >"$want"

failed=0
if ! cmp -s "$out" "$want"; then
    echo "stdout differs (expected, then got; \$ marks line ends):"
    sed 's/$/$/' "$want"
    sed 's/$/$/' "$out"
    failed=1
fi
if [ "$status" != "$want_status" ]; then
    echo "exit status: expected $want_status, got $status"
    failed=1
fi
[ $failed -eq 0 ] && echo "ok: status $status, stdout \"$want_line\""
exit $failed
