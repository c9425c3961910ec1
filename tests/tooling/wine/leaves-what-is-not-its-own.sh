#!/usr/bin/env bash
# The Windows tests on a developer's machine: a Wine prefix exported for their own programs and a folder
# of theirs named as a work folder come out untouched, a prefix the project makes leaves no Wine server
# running once its last program has ended, and Wine's 32-bit part leaves nothing on the machine.
#   leaves-what-is-not-its-own.sh BIN_DIR WORK_DIR
set -euo pipefail
unset CDPATH
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scripts=$(cd "$here/../../../scripts" && pwd)
# shellcheck source=scripts/wine/wine-scratch.sh
source "$scripts/wine/wine-scratch.sh"
bin=$(cd "$1" && pwd)
fresh_work_folder "$2"
work=$(cd "$2" && pwd)
theirs="$work/their prefix"
mkdir -p "$theirs/drive_c"
echo "their own settings" >"$theirs/system.reg"
state() { (cd "$theirs" && find . -printf '%p %s %T@\n' | sort); }
before=$(state)

# An exported WINEPREFIX is not the project's: the test program runs in the project's own prefix.
WINEPREFIX=$theirs "$scripts/wine-run" "$bin/Halvicor.exe" 1 >/dev/null 2>&1 || true
[ "$(state)" = "$before" ] || fail "a test run under an exported WINEPREFIX changed it"

# A prefix or work folder chosen for the project that it did not make is refused, with a line naming it.
expect_refused() { # what, command...
    local what=$1 code=0
    shift
    "$@" >/dev/null 2>"$work/refused.txt" || code=$?
    { [ "$code" -eq 2 ] && grep -qF "$theirs" "$work/refused.txt"; } ||
        fail "$what: not refused with a line naming the folder (exit $code): $(cat "$work/refused.txt")"
    [ "$(state)" = "$before" ] || fail "$what: the folder was changed"
}
expect_refused "their folder as HELPERS_WINEPREFIX" env HELPERS_WINEPREFIX="$theirs" "$scripts/wine-run" "$bin/Halvicor.exe" 1
expect_refused "their folder as a work folder" bash "$here/../../notifier/wine/notifier-end-to-end.sh" "$bin" "$theirs"

# What a script starts is stopped by the script itself when it ends, not left to its watcher (which would
# also do it, later, and not at all were it gone): the stop records the process that ran it.
# shellcheck disable=SC2016 # expanded by the inner script
script_pid=$(bash -c 'source "$1/work-folder.sh"; stopped=$2; stop() { echo "$BASHPID" >>"$stopped"; }
    while_script_runs "" stop; echo $$' _ "$scripts/wine" "$work/stopped-by.txt")
wait_until 10 test -s "$work/stopped-by.txt" || true
grep -qx "$script_pid" "$work/stopped-by.txt" ||
    fail "a script's daemon was not stopped at the script's exit (stopped by: $(cat "$work/stopped-by.txt" 2>/dev/null || echo nobody))"

# The server of a prefix the project made ends a short while after the program it ran.
own=$work/own-prefix
HELPERS_WINEPREFIX=$own "$scripts/wine-run" "$bin/Halvicor.exe" 1 >/dev/null 2>&1 || true
server_of_own() {
    local pid environment
    for pid in $(pgrep -x 'wineserver(64)?'); do
        environment=$({ tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null || true)
        grep -qxF "WINEPREFIX=$own" <<<"$environment" && return 0
    done
    return 1
}
[ -f "$own/.helpers-prefix" ] || fail "the project's prefix was not made in $own"
# A program Wine cannot start is told apart from a program that fails.
echo "not a program" >"$work/broken.exe"
HELPERS_WINEPREFIX=$own "$scripts/wine-run" "$work/broken.exe" >/dev/null 2>"$work/broken.txt" || true
grep -q '^wine-run: broken.exe did not start (exit [0-9]*): ' "$work/broken.txt" ||
    fail "a start that failed was not reported as one: $(cat "$work/broken.txt")"
HELPERS_WINEPREFIX=$own "$scripts/wine-run" cmd /c exit 3 >/dev/null 2>"$work/exit3.txt" || true
grep -q '^wine-run: cmd exited with 3' "$work/exit3.txt" ||
    fail "a program's own failure was not reported as its exit code: $(cat "$work/exit3.txt")"
wait_until 45 eval '! server_of_own' || fail "the Wine server of $own still runs 45 s after its last program"

# A program that starts while the server is going away is not held by a server its own start brought up,
# which would keep the program's output open for as long as another program keeps that server busy.
quick() { HELPERS_WINEPREFIX=$own HELPERS_WINESERVER_STAYS=1 "$scripts/wine-run" "$@" 2>&1 | cat >/dev/null || true; }
quick cmd /c exit 0
sleep 2.8 # the server has been idle for its second, and its own processes are ending
started=$(date +%s%N)
(quick cmd /c exit 0 && echo $((($(date +%s%N) - started) / 1000000)) >"$work/closed-ms.txt") &
sleep 1
quick cmd /c 'ping -n 9 127.0.0.1 >nul'
busy_until=$((($(date +%s%N) - started) / 1000000))
wait $!
closed=$(cat "$work/closed-ms.txt")
[ "$closed" -lt "$busy_until" ] ||
    fail "a program started while the server went away kept its output open ${closed} ms, until the next program ended (${busy_until} ms)"
wait_until 45 eval '! server_of_own' || fail "the Wine server of $own still runs 45 s after its last program"

# A 32-bit program runs in Wine's 32-bit part, and the machine is left as it was: no i386 architecture or
# package, no handler for i386 programs, and the machine's own Wine runs 64-bit programs as before.
printf '%s\n' 'OutFile "exit7.exe"' 'SilentInstall silent' 'RequestExecutionLevel user' \
    'Section' 'SetErrorLevel 7' 'SectionEnd' >"$work/exit7.nsi"
# In a UTF-8 locale, as scripts/installers runs it: the work folder's name goes beyond ASCII.
(cd "$work" && LC_ALL=C.UTF-8 makensis -V1 exit7.nsi >/dev/null) || fail "makensis made no 32-bit program"
code=0
HELPERS_WINEPREFIX=$own HELPERS_WINESERVER_STAYS=1 "$scripts/wine-run" "$work/exit7.exe" >/dev/null 2>"$work/exit7.txt" ||
    code=$?
[ "$code" -eq 7 ] || fail "a 32-bit program under wine-run exited with $code, not 7: $(cat "$work/exit7.txt")"
# Each list is read whole before it is searched: grep -q leaving early would fail the pipe, and the check pass.
architectures=$(dpkg --print-foreign-architectures) || fail "dpkg could not list the foreign architectures"
packages=$(dpkg-query -W -f='${Architecture} ${Package}\n') || fail "dpkg-query could not list the packages"
! grep -qx i386 <<<"$architectures" || fail "the machine has the i386 architecture"
! grep -q '^i386 ' <<<"$packages" || fail "the machine has i386 packages"
[ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || fail "the machine has a handler for i386 programs"
code=0
WINEPREFIX=$own wine "$bin/Halvicor.exe" 1 >/dev/null 2>&1 || code=$?
[ "$code" -eq 1 ] || fail "the machine's own wine ran Halvicor.exe 1 with exit code $code, not 1"
wait_until 45 eval '! server_of_own' || fail "the Wine server of $own still runs 45 s after its last program"

# Wine's processes left without their server (a run under load once left a prefix's services running on)
# are ended with their prefix; one of another prefix, or one not Wine's, is left alone.
cp "$(command -v sleep)" "$work/wine64"
WINEPREFIX=$own "$work/wine64" 60 </dev/null >/dev/null 2>&1 &
stray=$!
WINEPREFIX=$theirs "$work/wine64" 60 </dev/null >/dev/null 2>&1 &
their_process=$!
WINEPREFIX=$own sleep 60 >/dev/null 2>&1 &
not_wine=$!
# Theirs to end, not this shell's to report.
disown "$stray" "$their_process" "$not_wine"
end_them() { kill "$stray" "$their_process" "$not_wine" 2>/dev/null || true; }
while_script_runs '' end_them
ended() { [[ ! -e /proc/$1/stat || $(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null) == Z ]]; }
"$scripts/wine/end-prefix-processes" "$own" || fail "end-prefix-processes failed"
wait_until 5 ended "$stray" || fail "a Wine process of the project's prefix outlived the prefix's end"
ended "$their_process" && fail "a Wine process of another prefix was ended"
ended "$not_wine" && fail "a process that is not Wine's was ended for the WINEPREFIX it has"

[ "$failures" -eq 0 ] || exit 1
echo "ok: nothing of the developer's was touched, and no server stayed"
