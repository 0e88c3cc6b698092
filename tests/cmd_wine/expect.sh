# expect.sh - sourced by the d418cmd scripts under Wine. Runs d418cmd.exe
# (or a build of it) and compares its whole stdout and stderr, byte for byte
# after CR LF is read as LF, and its exit status with what a case expects.
#
#   expect NAME STATUS [--env NAME=VALUE]... [--stdin FILE] [--err LINE]
#          [--copy-to DIR] -- EXE [ARGS...]  <<'OUT'
#   ...the whole expected stdout...
#   OUT
#
# --err LINE: stderr must be LINE and one line end (otherwise empty).
# --copy-to DIR: run a copy of EXE in DIR, emptied first, so that it finds
# only what DIR holds. The program always runs in its own folder.
# WINEPREFIX comes from the environment; `summary` ends the script.
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
passed=0 failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect() {
    local name=$1 status=$2
    shift 2
    local envs=() stdin=/dev/null err="" has_err=0 copy_to=""
    while [ $# -gt 0 ]; do
        case "$1" in
        --env) envs+=("$2"); shift 2 ;;
        --stdin) stdin=$2; shift 2 ;;
        --err) err=$2; has_err=1; shift 2 ;;
        --copy-to) copy_to=$2; shift 2 ;;
        --) shift; break ;;
        *) echo "expect: unknown option $1" >&2; exit 2 ;;
        esac
    done
    local exe=$1
    shift
    cat >"$work/want.out"
    if [ $has_err -eq 1 ]; then printf '%s\n' "$err" >"$work/want.err"; else : >"$work/want.err"; fi
    if [ -n "$copy_to" ]; then
        rm -rf "$copy_to" && mkdir -p "$copy_to" && cp "$exe" "$copy_to/" || exit 2
        exe=$copy_to/$(basename "$exe")
    fi
    (cd "$(dirname "$exe")" && env "${envs[@]}" wine "./$(basename "$exe")" "$@" \
        <"$stdin" >"$work/got.raw" 2>"$work/err.raw")
    local got_status=$?
    perl -0777 -pe 's/\r\n/\n/g' "$work/got.raw" >"$work/got.out"
    perl -0777 -pe 's/\r\n/\n/g' "$work/err.raw" >"$work/got.err"

    local ok=1
    cmp -s "$work/want.out" "$work/got.out" || ok=0
    cmp -s "$work/want.err" "$work/got.err" || ok=0
    [ "$got_status" = "$status" ] || ok=0
    if [ $ok -eq 1 ]; then
        passed=$((passed + 1))
        return 0
    fi
    failed=$((failed + 1))
    echo "case $name: $(basename "$exe") $*"
    echo "  exit status: expected $status, got $got_status"
    echo "  stdout (expected, got; \$ marks line ends):"
    sed 's/^/    /; s/$/$/' "$work/want.out"
    echo "    --"
    sed 's/^/    /; s/$/$/' "$work/got.out"
    echo "  stderr (expected, got):"
    sed 's/^/    /; s/$/$/' "$work/want.err"
    echo "    --"
    sed 's/^/    /; s/$/$/' "$work/got.err"
    return 1
}

summary() {
    echo "$passed passed, $failed failed"
    [ $failed -eq 0 ]
}
