# Sourced by the scripts that run the Windows build under Wine on their own: a fresh prefix of their own
# in WORK_DIR, its server ended when the script exits, and a failure count for checks.
#   source scripts/wine-scratch.sh; wine_scratch_start BIN_DIR WORK_DIR
# sets bin, work, WINEPREFIX, and temp: the prefix's %TEMP% as a Unix path.

wine_scratch_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A script that stops on an error says where, so a failure in CI can be read from its output.
set -E
trap 'echo "stopped (exit $?): $BASH_COMMAND, in ${FUNCNAME[*]:-the script} at lines ${BASH_LINENO[*]}" >&2' ERR

wine_scratch_stop() { [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true; }

wine_scratch_start() {
    bin=$(cd "$1" && pwd)
    rm -rf "$2"
    mkdir -p "$2"
    work=$(cd "$2" && pwd)
    export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8
    trap wine_scratch_stop EXIT
    "$wine_scratch_scripts/wine-prefix"
    temp=$(winepath -u "$(wine cmd /c 'echo %TEMP%' </dev/null 2>/dev/null | tr -d '\r')")
}

# A log's records as text: each without its time prefix and line end.
log_records() { sed -e 's/\r$//' -e 's/^\[ *[0-9]*\] [0-9-]* [0-9:.]* //' "$1" 2>/dev/null; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
