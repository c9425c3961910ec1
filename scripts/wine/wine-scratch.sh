# shellcheck shell=bash disable=SC2034 # the variables it sets are for the script that sources it
# Sourced by the scripts that run the Windows build under Wine on their own: a fresh prefix of their own
# in WORK_DIR, its server ended when the script ends (see while_script_runs), and a failure count for checks.
#   source scripts/wine/wine-scratch.sh; wine_scratch_start BIN_DIR WORK_DIR
# sets bin, work, WINEPREFIX, and temp: the prefix's %TEMP% as a Unix path.

unset CDPATH DISPLAY WAYLAND_DISPLAY
wine_scratch_scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/wine/work-folder.sh
source "$wine_scratch_scripts/work-folder.sh"
# shellcheck source=scripts/wine/part-32-bit.sh
source "$wine_scratch_scripts/part-32-bit.sh"
# (--32-bit) before wine_scratch_start, for a script that runs 32-bit programs: its prefix and its server
# are Wine's 32-bit part's (scripts/wine/wine-prefix).
wine_prefix_kind=()

# A script that stops on an error says where, so a failure in CI can be read from its output.
set -E
trap 'echo "stopped (exit $?): $BASH_COMMAND, in ${FUNCNAME[*]:-the script} at lines ${BASH_LINENO[*]}" >&2' ERR

wine_scratch_stop() { [ -z "${WINEPREFIX:-}" ] || "$wine_scratch_scripts/end-prefix-processes" "$WINEPREFIX" || true; }

# A set-up step, not what is tested: on a busy machine, and in a prefix that has just been made, Wine's
# commands now and then fail once for no lasting reason. The step is tried up to five times, waiting a
# second longer each time; its output is left in setup_output. One that keeps failing stops the script
# with a single line that names the step, instead of letting later checks fail for the wrong reason.
setup() { # step, command...
    local step=$1 attempt
    shift
    for attempt in 1 2 3 4 5; do
        setup_output=$("$@" </dev/null 2>"$work/setup-error.txt") && return 0
        [ "$attempt" -eq 5 ] || sleep "$attempt"
    done
    trap - ERR
    echo "set-up failed: $step ($*: $(tr '\n' ' ' <"$work/setup-error.txt" | cut -c1-300))" >&2
    exit 2
}

# The prefix's %TEMP% as a Unix path, only once it is a folder that exists.
wine_temp_folder() {
    local windows unix
    windows=$(wine cmd /c 'echo %TEMP%' | tr -d '\r')
    unix=$(winepath -u "$windows")
    [ -d "$unix" ] || { echo "%TEMP% is '$windows', not a folder" >&2; return 1; }
    echo "$unix"
}

wine_scratch_start() {
    bin=$(cd "$1" && pwd)
    fresh_work_folder "$2"
    work=$(cd "$2" && pwd)
    export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8
    # The server stays for the whole script, whose pauses between commands may be long, and no longer.
    while_script_runs '' wine_scratch_stop
    HELPERS_WINESERVER_STAYS='' setup "making the Wine prefix" "$wine_scratch_scripts/wine-prefix" "${wine_prefix_kind[@]}"
    setup "the first command in the new Wine prefix (its %TEMP%)" wine_temp_folder
    temp=$setup_output
}

# A Windows program by its Unix path; a 32-bit one in Wine's 32-bit part, a 64-bit one where it is.
wine_program() { # program, arguments...
    if is_pe32 "$1"; then "$wine_scratch_scripts/in-32-bit-part" wine "$@"; else wine "$@"; fi
}

# Waits for what another process does (a command that then succeeds) instead of for a fixed time; false
# if it has not happened within the seconds given, a bound that only a broken run reaches. Each try starts
# a few processes: twenty a second for the first second, then five, as a wait for a server to end lasts
# some fifteen seconds.
wait_until() { # seconds, command...
    local deadline=$((SECONDS + $1)) tries=0
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        tries=$((tries + 1))
        if [ "$tries" -le 20 ]; then sleep 0.05; else sleep 0.2; fi
    done
}

# A log's records as text: each without its time prefix and line end.
log_records() { [ -e "$1" ] || return 0; sed -e 's/\r$//' -e 's/^\[ *[0-9]*\] [0-9-]* [0-9:.]* //' "$1" 2>/dev/null; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
